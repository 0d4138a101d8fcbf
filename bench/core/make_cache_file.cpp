// Writes a large cache file for trying the program or the reader by hand:
//   make_cache_file PATH [CLASSES] [STUDENTS_PER_CLASS]   (default 400 x 500)
#include <QCoreApplication>
#include <cstdio>

#include "bench/core/cache_file_generator.h"

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: make_cache_file PATH [CLASSES] [STUDENTS_PER_CLASS]\n");
    return 2;
  }
  const int classes = args.size() > 2 ? args[2].toInt() : 400;
  const int per_class = args.size() > 3 ? args[3].toInt() : 500;
  zorvanix::bench::GeneratedCache generated;
  if (classes <= 0 || per_class <= 0 ||
      !zorvanix::bench::WriteCacheFile(args[1], classes, per_class, &generated)) {
    std::fprintf(stderr, "make_cache_file: cannot write %s\n", qPrintable(args[1]));
    return 1;
  }
  std::printf("%lld student rows in %s\n", static_cast<long long>(generated.students.size()),
              qPrintable(args[1]));
  return 0;
}
