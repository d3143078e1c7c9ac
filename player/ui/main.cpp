// The player's window arrives with the list and playback controls; until then the program
// starts and ends cleanly.
int main() { return 0; }
