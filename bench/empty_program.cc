// The floor of starting a program: it does nothing and ends with 0.
int main() { return 0; }
