// A small Windows program that the tests sign in different ways.
int main() { return 0; }
