// The settings dialog arrives with the configurator; until then the program starts and ends
// cleanly.
int main() { return 0; }
