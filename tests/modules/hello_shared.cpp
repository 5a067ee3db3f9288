// A small program as MinGW users build theirs: the C++ runtime, its threads
// and libgcc as DLLs (no -static), for the bundle tests.
#include <iostream>
#include <string>
#include <thread>

int main()
{
    std::string said;
    std::thread worker([&said] { said = "hello from a shared runtime"; });
    worker.join();
    std::cout << said << std::endl;
    return 0;
}
