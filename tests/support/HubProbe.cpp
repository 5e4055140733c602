// A stand-in for the hub program in the Kit's self-update tests, where the real one (an app
// target) is not built. Installed as <folder>/bin/ostrel-hub, it answers "--self-test" as the
// file <folder>/share/ostrel-hub/probe says: "start" exits 0, "fail" exits 1, "hang" never ends.
#include <fstream>
#include <iostream>
#include <string>

#include <limits.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]) != "--self-test")
        return 2;
    char self[PATH_MAX] = {};
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return 3;
    const std::string exe(self, static_cast<size_t>(length));
    const std::string folder = exe.substr(0, exe.rfind("/bin/"));
    std::ifstream file(folder + "/share/ostrel-hub/probe");
    std::string behaviour;
    std::getline(file, behaviour);
    if (behaviour == "hang")
        for (;;)
            ::pause();
    std::cout << "ostrel-hub self-test " << behaviour << "\n";
    return behaviour == "start" ? 0 : 1;
}
