// zorvanix-server: placeholder until the scoring service is built.
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  std::fprintf(stderr, "zorvanix-server: not built yet\n");
  return 2;
}
