// A program of the device that only carries an icon: the shell tests read
// it from its file, so it is never started.
int main() { return 0; }
