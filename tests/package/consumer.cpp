// A host program that uses only the installed package.
#include <cstdio>
#include <vesk/version.hpp>
#include <vesk/vesk.hpp>

int main() {
    std::printf("vesk %s (library %.*s)\n", vesk::Vesk::version().c_str(),
                static_cast<int>(vesk::libraryVersion().size()), vesk::libraryVersion().data());
    const vesk::UserProperty property("$name", "A", vesk::UserProperty::Operations::setOnce);
    return vesk::libraryVersion().empty() || property.key() != "$name" ? 1 : 0;
}
