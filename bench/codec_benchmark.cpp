// The codec on the messages of tests/data: the 0200 card request (105 bytes,
// 8 elements, secondary bitmap) and a typical ZTR request (203 bytes, hash
// key checked on the way in, computed on the way out).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "layout_0200.h"
#include "vksoc/codec/iso8583.h"
#include "vksoc/codec/ztr.h"

namespace {

std::vector<unsigned char> ReadTestData(const char* name) {
    const std::string path = std::string(VELK_TEST_DATA) + "/" + name;
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    if (bytes.empty()) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        std::exit(1);
    }
    return bytes;
}

void Disassembled(const std::vector<unsigned char>& bytes, const FieldSpec* specs,
                  MessageFields* fields) {
    int complete = 0;
    const int count = static_cast<int>(bytes.size());
    const int result = specs != nullptr
                           ? Disassemble8583(bytes.data(), count, specs, fields, &complete)
                           : DisassembleZTR(bytes.data(), count, fields, &complete);
    if (result != count || complete != 1) {
        std::fprintf(stderr, "the test message does not disassemble\n");
        std::exit(1);
    }
}

void BM_Disassemble8583_0200(benchmark::State& state) {
    const std::vector<unsigned char> bytes = ReadTestData("iso8583_0200.bin");
    const FieldSpecTable specs = MakeLayout0200();
    MessageFields fields;
    int complete = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Disassemble8583(bytes.data(), static_cast<int>(bytes.size()),
                                                 specs.data(), &fields, &complete));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Disassemble8583_0200);

void BM_Assemble8583_0200(benchmark::State& state) {
    const std::vector<unsigned char> bytes = ReadTestData("iso8583_0200.bin");
    const FieldSpecTable specs = MakeLayout0200();
    MessageFields fields;
    Disassembled(bytes, specs.data(), &fields);
    unsigned char out[MESSAGE_BUFFER_SIZE];
    for (auto _ : state) {
        benchmark::DoNotOptimize(Assemble8583(out, sizeof(out), specs.data(), &fields));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Assemble8583_0200);

void BM_DisassembleZTR(benchmark::State& state) {
    const std::vector<unsigned char> bytes = ReadTestData("ztr_request.bin");
    MessageFields fields;
    int complete = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            DisassembleZTR(bytes.data(), static_cast<int>(bytes.size()), &fields, &complete));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DisassembleZTR);

void BM_AssembleZTR(benchmark::State& state) {
    const std::vector<unsigned char> bytes = ReadTestData("ztr_request.bin");
    MessageFields fields;
    Disassembled(bytes, nullptr, &fields);
    unsigned char out[MESSAGE_BUFFER_SIZE];
    for (auto _ : state) {
        benchmark::DoNotOptimize(AssembleZTR(out, sizeof(out), &fields));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_AssembleZTR);

void BM_ComputeHashKey(benchmark::State& state) {
    // The hash-key input of the ZTR request: its key fields one after another.
    const std::vector<unsigned char> bytes = ReadTestData("ztr_request.bin");
    MessageFields fields;
    Disassembled(bytes, nullptr, &fields);
    std::string input;
    for (int n : HASH_KEY_FIELDS) {
        if (fields.slots[n].length > 0) {
            input.append(reinterpret_cast<const char*>(fields.slots[n].data),
                         static_cast<size_t>(fields.slots[n].length));
        }
    }
    char key[12];
    for (auto _ : state) {
        ComputeHashKey(input.c_str(), key);
        benchmark::DoNotOptimize(key);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ComputeHashKey);

}  // namespace

BENCHMARK_MAIN();
