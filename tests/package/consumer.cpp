// A host program that uses only the installed package.
#include <vesk/version.hpp>

#include <cstdio>

int main() {
    std::printf("vesk %.*s\n", static_cast<int>(vesk::libraryVersion().size()),
                vesk::libraryVersion().data());
    return vesk::libraryVersion().empty() ? 1 : 0;
}
