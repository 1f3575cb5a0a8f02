// How long the program's own work takes, apart from the platform: deriving the serial on a
// typical record and on the worst one, and a whole load-and-publish pass through the fakes
// (whose pipe and bookkeeping are in that figure too).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "provisioning/vossel.h"
#include "tests/fake_platform.h"
#include "tests/record_bytes.h"

namespace {

// The loop over `state` runs the benchmark, and changes it.
// cppcheck-suppress constParameter
void derive(benchmark::State& state, const std::string& bytes) {
    unsigned char record[BARCODE_RECORD_SIZE];
    std::copy(bytes.begin(), bytes.begin() + sizeof(record), record);
    char serial[SERIAL_BUFFER_SIZE];
    for ([[maybe_unused]] auto _ : state) {
        benchmark::DoNotOptimize(derive_serial_number(record, serial));
        benchmark::ClobberMemory();
    }
}

void DeriveTypicalSerial(benchmark::State& state) {
    derive(state, record_with("SN-0042 A/B", "ISN-2026-000042"));
}

// No zero byte from the serial field to the end of the record: every one of its 920 bytes is
// classified.
void DeriveUnterminatedSerial(benchmark::State& state) {
    derive(state, record_with(std::string(BARCODE_RECORD_SIZE - SERIAL_FIELD_OFFSET, '-'), ""));
}

// cppcheck-suppress constParameterCallback
void LoadAndPublish(benchmark::State& state) {
    const std::string record = record_with("SN-0042 A/B", "ISN-2026-000042");
    for ([[maybe_unused]] auto _ : state) {
        reset_fake();
        fake.data = record;
        benchmark::DoNotOptimize(load_barcode_record());
        publish_identity();
    }
}

}  // namespace

BENCHMARK(DeriveTypicalSerial);
BENCHMARK(DeriveUnterminatedSerial);
BENCHMARK(LoadAndPublish);
BENCHMARK_MAIN();
