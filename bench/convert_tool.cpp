// Reads a UTF-8 file, re-decodes it into the local code page and writes the result to standard
// output: the program's conversion as a command, to be timed against iconv.
#include <cstdio>
#include <fstream>

#include "text/utf8_to_local.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: crawlerview_convert UTF8-FILE > OUT\n", stderr);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::perror(argv[1]);
        return 1;
    }
    in.seekg(0, std::ios::end);
    crawlerview::ByteBuffer utf8(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(utf8.data()), static_cast<std::streamsize>(utf8.size()));
    const crawlerview::Text local = crawlerview::utf8ToLocal(utf8);
    std::fwrite(local.data(), 1, local.size(), stdout);
    return 0;
}
