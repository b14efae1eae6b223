// Test helper: a program that keeps running for about ten seconds and then ends by itself, so
// that nothing is left behind even when a test cannot end it.
#include <time.h>

int main() {
    timespec left{10, 0};
    while (nanosleep(&left, &left) != 0) {
    }
    return 0;
}
