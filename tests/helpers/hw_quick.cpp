// Test helper: a program that ends at once.
int main() {
    return 0;
}
