#include <cstdio>

int main() {
    std::puts("versalo-cli");
    return 0;
}
