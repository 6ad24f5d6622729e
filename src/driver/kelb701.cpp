// Program entry: placeholder until the start-up sequence lands.
int main() { return 0; }
