// Test helper: a program that keeps running for about ten seconds and then ends by itself, so
// that nothing is left behind even when a test cannot end it.
#include <time.h>
#include <unistd.h>

int main() {
    // A test that spawns it holds fd 3 to learn that it runs (its argv is in place only from
    // now on); when nobody does, the write just fails.
    (void)!write(3, "r", 1);
    timespec left{10, 0};
    while (nanosleep(&left, &left) != 0) {
    }
    return 0;
}
