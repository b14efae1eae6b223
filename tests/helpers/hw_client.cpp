// Test helper: a stand-in client that runs until it is killed, or ends by itself after five
// minutes so that nothing is left behind when a test cannot end it.
#include <time.h>

int main() {
    timespec left{300, 0};
    while (nanosleep(&left, &left) != 0) {
    }
    return 0;
}
