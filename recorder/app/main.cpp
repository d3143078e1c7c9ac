// The recorder's window, tray icon and device wiring arrive with the application; until then
// the program starts and ends cleanly.
int main() { return 0; }
