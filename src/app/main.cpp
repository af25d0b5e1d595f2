// The program's entry; the application shell replaces this placeholder.
int main() { return 0; }
