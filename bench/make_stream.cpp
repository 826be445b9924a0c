// make_stream SIZE_MB FILE [SEED]: writes a generated receiver stream for throughput runs.
#include "stream_gen.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_stream SIZE_MB FILE [SEED]\n");
        return 2;
    }
    size_t mb = std::strtoul(argv[1], nullptr, 10);
    vxbench::StreamMix mix;
    if (argc > 3) mix.seed = uint32_t(std::strtoul(argv[3], nullptr, 10));
    FILE* f = std::fopen(argv[2], "wb");
    if (!f) {
        std::perror(argv[2]);
        return 1;
    }
    vxbench::StreamGenerator gen(mix);
    std::vector<uint8_t> chunk;
    for (size_t written = 0; written < mb * 1000000;) {
        chunk.clear();
        gen.append(chunk, 1 << 20);
        if (std::fwrite(chunk.data(), 1, chunk.size(), f) != chunk.size()) {
            std::perror(argv[2]);
            return 1;
        }
        written += chunk.size();
    }
    if (std::fclose(f) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    std::printf("%s: %llu frames, %llu corrupted\n", argv[2],
                (unsigned long long)gen.framesWritten(), (unsigned long long)gen.framesCorrupted());
    return 0;
}
