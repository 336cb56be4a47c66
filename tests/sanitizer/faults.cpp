// One deliberate fault per argument, for the check that the sanitizer build is
// armed: every report must end the process with the sanitizers' own status,
// and a process without a fault must exit 0 and write nothing. The inputs come
// from the command line so that the optimiser cannot see the fault coming.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace {

// One past the end of a block of the given size.
int heapOverflow(int size)
{
    int* values = new int[size]();
    const int value = values[size];
    delete[] values;
    return value;
}

int useAfterFree(int size)
{
    int* values = new int[size]();
    delete[] values;
    return values[size - 1];
}

// A block whose address the caller drops.
char* filledBlock(int fill)
{
    char* block = static_cast<char*>(std::malloc(64));
    std::memset(block, fill, 64);
    return block;
}

// Every block made unreachable before exit.
__attribute__((noinline)) int leak(int count)
{
    int sum = 0;
    for (int i = 0; i < count; ++i)
        sum += filledBlock(i)[0];
    return sum;
}

// The same from a function that lsan.supp names: the suppressions file is
// found and read (it is read only once a leak is found).
__attribute__((noinline)) int leakNamedInTheSuppressions(int count)
{
    int sum = 0;
    for (int i = 0; i < count; ++i)
        sum += filledBlock(count - i)[0];  // not the body of leak(), or the two are folded into one
    return sum;
}

int signedOverflow(int addend)
{
    int value = std::numeric_limits<int>::max();
    value += addend;
    return value;
}

int floatCast(int exponent)
{
    const double value = 1.0e10 * exponent;
    return static_cast<int>(value);
}

int vectorIndex(int index)
{
    std::vector<int> values;
    values.reserve(16);
    values.resize(4);
    return values[index];
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(
            stderr,
            "usage: %s "
            "none|heap-overflow|use-after-free|leak|suppressed-leak|signed-overflow|float-cast|vector-index N\n",
            argv[0]);
        return 2;
    }
    const std::string_view fault = argv[1];
    const int n = std::atoi(argv[2]);
    int result = 0;
    if (fault == "heap-overflow")
        result = heapOverflow(n);
    else if (fault == "use-after-free")
        result = useAfterFree(n);
    else if (fault == "leak")
        result = leak(n);
    else if (fault == "suppressed-leak")
        result = leakNamedInTheSuppressions(n);
    else if (fault == "signed-overflow")
        result = signedOverflow(n);
    else if (fault == "float-cast")
        result = floatCast(n);
    else if (fault == "vector-index")
        result = vectorIndex(n);
    else if (fault != "none")
        return 2;
    std::printf("%d\n", result);
    return 0;
}
