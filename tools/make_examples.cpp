// Writes the bundled example files (placeholder until the generator lands).
int main() { return 0; }
