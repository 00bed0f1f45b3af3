// The codec on the messages of tests/data: the 0200 card request (105 bytes,
// 8 elements, secondary bitmap) and a typical ZTR request (203 bytes, hash
// key checked on the way in, computed on the way out). The same 0200 is also
// taken and built with a link record in three layouts: every field ASCII,
// numbers in BCD with binary lengths, and everything in EBCDIC.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "layout_0200.h"
#include "link_codec_support.h"
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

enum class Linked { Ascii, Bcd, Ebcdic };

LinkRecord LinkOf(Linked layout) {
    LinkRecord link = PlainLinkRecord();
    switch (layout) {
        case Linked::Ascii:
            break;
        case Linked::Bcd:
            link.MTI_ENCODING = static_cast<uint8_t>(MtiEncoding::Bcd);
            SetFieldEncodings(link, 2, ValueEncoding::Bcd, LengthEncoding::Binary);
            for (int n : {3, 4, 7, 11, 49}) {
                SetFieldEncodings(link, n, ValueEncoding::Bcd);
            }
            SetFieldEncodings(link, 102, ValueEncoding::Bcd, LengthEncoding::Bcd);
            break;
        case Linked::Ebcdic:
            link.MTI_ENCODING = static_cast<uint8_t>(MtiEncoding::Ebcdic);
            for (const Element0200& e : ELEMENTS_0200) {
                SetFieldEncodings(link, e.n, ValueEncoding::Ebcdic, LengthEncoding::Ebcdic);
            }
            break;
    }
    return link;
}

// The 0200's value forms, as the tests hand them to the codec.
MessageFields ValueForms0200() {
    MessageFields fields{};
    fields.slots[0] = {reinterpret_cast<const unsigned char*>("0200"), 4};
    for (const Element0200& e : ELEMENTS_0200) {
        fields.slots[e.n] = {reinterpret_cast<const unsigned char*>(e.value),
                             static_cast<int32_t>(std::char_traits<char>::length(e.value))};
    }
    return fields;
}

void BM_TakeLinked0200(benchmark::State& state, Linked layout) {
    const FieldSpecTable specs = MakeLayout0200();
    const LinkRecord link = LinkOf(layout);
    unsigned char bytes[MESSAGE_BUFFER_SIZE];
    const MessageFields forms = ValueForms0200();
    const int count = Assemble8583(bytes, sizeof bytes, specs.data(), &link, &forms);
    std::vector<unsigned char> area(DECODE_AREA_SIZE);
    MessageFields fields;
    if (Take8583(bytes, count, specs.data(), &link, {area.data(), DECODE_AREA_SIZE}, &fields)
            .bytes != count) {
        std::fprintf(stderr, "the linked 0200 does not disassemble\n");
        std::exit(1);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            Take8583(bytes, count, specs.data(), &link, {area.data(), DECODE_AREA_SIZE}, &fields));
        benchmark::ClobberMemory();
    }
    state.counters["bytes"] = count;
}
BENCHMARK_CAPTURE(BM_TakeLinked0200, ascii, Linked::Ascii);
BENCHMARK_CAPTURE(BM_TakeLinked0200, bcd, Linked::Bcd);
BENCHMARK_CAPTURE(BM_TakeLinked0200, ebcdic, Linked::Ebcdic);

void BM_AssembleLinked0200(benchmark::State& state, Linked layout) {
    const FieldSpecTable specs = MakeLayout0200();
    const LinkRecord link = LinkOf(layout);
    const MessageFields fields = ValueForms0200();
    unsigned char out[MESSAGE_BUFFER_SIZE];
    for (auto _ : state) {
        benchmark::DoNotOptimize(Assemble8583(out, sizeof(out), specs.data(), &link, &fields));
        benchmark::ClobberMemory();
    }
}
BENCHMARK_CAPTURE(BM_AssembleLinked0200, ascii, Linked::Ascii);
BENCHMARK_CAPTURE(BM_AssembleLinked0200, bcd, Linked::Bcd);
BENCHMARK_CAPTURE(BM_AssembleLinked0200, ebcdic, Linked::Ebcdic);

}  // namespace

BENCHMARK_MAIN();
