// The program's CacheFile on a 200,000-row file: the first parse, and a tagged
// look-up of one student served from memory afterwards (the file is not read
// again while it is unchanged; the "file_reads" counter shows it).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <memory>
#include <thread>

#include "bench/core/cache_file_generator.h"
#include "core/cache_file.h"

namespace zorvanix::bench {
namespace {

struct Fixture {
  QTemporaryDir dir;
  QString path;
  GeneratedCache generated;
  std::unique_ptr<CacheFile> cache;

  Fixture() {
    path = dir.filePath(QStringLiteral("ServerRec.dmd"));
    if (!WriteCacheFile(path, 400, 500, &generated)) std::abort();
    cache = std::make_unique<CacheFile>(path);
    // A cache file is read long after its download. The reader trusts the
    // file's stamp only once the file is older than the file system's clock
    // granularity; until then every look-up compares the content. Let it age.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void BM_FirstParse(benchmark::State& state) {
  const QString& path = Shared().path;
  for (auto _ : state) {
    const CacheFile cache(path);  // a program that has not read it yet
    auto index = cache.Index();
    benchmark::DoNotOptimize(index);
    if (!index || index->LineCount() != 200'021) state.SkipWithError("unexpected line count");
  }
  state.counters["rows"] = 200'000;
  state.counters["MB"] = QFileInfo(path).size() / 1e6;
}

void TaggedLookup(benchmark::State& state, bool whole_roster) {
  Fixture& fixture = Shared();
  const CacheFile& cache = *fixture.cache;
  cache.ReadTaggedLines(u"x");  // parsed once, before the timing
  cache.ReadTaggedLines(u"x");  // settled: the stamp alone decides
  const qint64 reads_before = cache.FileReads();
  const auto& students = fixture.generated.students;
  qsizetype next = 0;
  for (auto _ : state) {
    const auto& [class_name, name] = students[next];
    next = (next + 7919) % students.size();
    const QString tag = whole_roster ? RosterTag(class_name) : StudentTag(class_name, name);
    const QString lines = cache.ReadTaggedLines(tag);
    benchmark::DoNotOptimize(lines);
    if (lines.isEmpty()) state.SkipWithError("student not found");
  }
  const qint64 reads = cache.FileReads() - reads_before;
  state.counters["file_reads"] = static_cast<double>(reads);
  if (reads != 0) state.SkipWithError("the unchanged file was read again");
}

// Right after a download the stamp cannot be trusted yet (see Fixture), so
// each look-up reads the file and compares its hash; the index is kept.
void BM_StudentLookupFreshFile(benchmark::State& state) {
  Fixture& fixture = Shared();
  const QString fresh = fixture.dir.filePath(QStringLiteral("fresh.dmd"));
  QFile::remove(fresh);
  if (!QFile::copy(fixture.path, fresh)) state.SkipWithError("cannot copy");
  const CacheFile cache(fresh);
  const auto index = cache.Index();
  const qint64 reads_before = cache.FileReads();
  const auto& [class_name, name] = fixture.generated.students[4242];
  const QString tag = StudentTag(class_name, name);
  for (auto _ : state) {
    const QString lines = cache.ReadTaggedLines(tag);
    benchmark::DoNotOptimize(lines);
  }
  if (cache.Index() != index) state.SkipWithError("parsed again");
  state.counters["file_reads_per_lookup"] =
      static_cast<double>(cache.FileReads() - reads_before) / state.iterations();
}

void BM_StudentLookup(benchmark::State& state) { TaggedLookup(state, false); }
void BM_RosterLookup(benchmark::State& state) { TaggedLookup(state, true); }

BENCHMARK(BM_FirstParse)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_StudentLookup)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RosterLookup)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StudentLookupFreshFile)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
}  // namespace zorvanix::bench

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
