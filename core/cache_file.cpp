#include "core/cache_file.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <algorithm>

#include "core/gbk.h"
#include "core/numbers.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace zorvanix {
namespace {

// What identifies one version of the file: a download replaces the file
// (new inode, new change time), an edit changes size or modification time.
struct FileStamp {
  qint64 size = -1;
  qint64 modified_ns = 0;
  qint64 changed_ns = 0;
  quint64 inode = 0;
  bool operator==(const FileStamp&) const = default;
};

bool StampOf(const QString& path, FileStamp* stamp) {
#ifdef Q_OS_UNIX
  struct stat info {};
  if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return false;
  }
  stamp->size = info.st_size;
  stamp->modified_ns = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  stamp->changed_ns = qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
  stamp->inode = info.st_ino;
  return true;
#else
  const QFileInfo info(path);
  if (!info.isFile()) return false;
  stamp->size = info.size();
  stamp->modified_ns = info.lastModified().toMSecsSinceEpoch() * 1000000;
  stamp->changed_ns = info.metadataChangeTime().toMSecsSinceEpoch() * 1000000;
  return true;
#endif
}

// A file system keeps modification times with a coarse clock (a few
// milliseconds on Linux, two seconds on FAT), so a file rewritten with the
// same size right after it was read can show the very same stamp. While a
// file is that young its stamp proves nothing and its bytes are compared by
// hash; once it has been read after this much time has passed since its last
// change, a later change must show a new stamp and the stamp alone decides.
constexpr qint64 kStampSlackNs = 2'000'000'000;
// While a file is young its bytes are compared at most this often, so a burst
// of look-ups (a rolling draw right after a download) reads it only now and
// then; a same-size rewrite within the stamp's granularity is seen this late.
constexpr qint64 kYoungRecheckNs = 250'000'000;

qint64 NowNs() { return QDateTime::currentMSecsSinceEpoch() * 1000000; }

bool StartsWith(QStringView line, QStringView tag) {
  return line.size() >= tag.size() && line.first(tag.size()) == tag;
}

// Splits a line at TAB after removing its line end.
QList<QStringView> FieldsOf(QStringView line) {
  while (!line.isEmpty() && (line.back() == u'\r' || line.back() == u'\n')) line.chop(1);
  return line.split(u'\t');
}

}  // namespace

TaggedLineIndex::TaggedLineIndex(QString text) : text_(std::move(text)) {
  const QStringView all(text_);
  qsizetype start = 0;
  for (qsizetype i = 0; i < all.size(); ++i) {
    const QChar c = all[i];
    if (c != u'\r' && c != u'\n') continue;
    lines_.push_back(all.sliced(start, i - start));
    if (c == u'\r' && i + 1 < all.size() && all[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  if (start < all.size()) lines_.push_back(all.sliced(start));
  sorted_.resize(lines_.size());
  for (std::size_t i = 0; i < sorted_.size(); ++i) sorted_[i] = static_cast<int>(i);
  std::stable_sort(sorted_.begin(), sorted_.end(),
                   [this](int a, int b) { return lines_[a].compare(lines_[b]) < 0; });
}

std::vector<QStringView> TaggedLineIndex::Find(QStringView tag) const {
  // Every line that begins with tag sorts at or after tag itself, and those
  // lines stand together: start at the first line not less than tag.
  auto it =
      std::lower_bound(sorted_.begin(), sorted_.end(), tag,
                       [this](int line, QStringView key) { return lines_[line].compare(key) < 0; });
  std::vector<int> hits;
  for (; it != sorted_.end() && StartsWith(lines_[*it], tag); ++it) hits.push_back(*it);
  std::sort(hits.begin(), hits.end());
  std::vector<QStringView> found;
  found.reserve(hits.size());
  for (int line : hits) found.push_back(lines_[line]);
  return found;
}

QString TaggedLineIndex::Lines(QStringView tag) const {
  QString result;
  for (QStringView line : Find(tag)) {
    result += line;
    result += u"\r\n";
  }
  return result;
}

// --- CacheFile ----------------------------------------------------------------

// The version of the file the index was built from.
struct CacheFile::State {
  FileStamp stamp;
  size_t content_hash = 0;
  bool settled = false;   // the stamp alone tells whether the file changed
  qint64 read_at_ns = 0;  // when the bytes were last read or written
  std::shared_ptr<const TaggedLineIndex> index;
};

CacheFile::CacheFile(QString path) : path_(std::move(path)), state_(std::make_unique<State>()) {}

CacheFile::~CacheFile() = default;

bool CacheFile::Exists() const { return QFile::exists(path_); }

bool CacheFile::Replace(QByteArrayView bytes) {
  QSaveFile file(path_);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(bytes.data(), bytes.size()) != bytes.size()) {
    file.cancelWriting();
    return false;
  }
  if (!file.commit()) return false;
  State fresh;
  fresh.read_at_ns = NowNs();
  fresh.content_hash = qHash(bytes);
  // Just written: the stamp cannot vouch for the content yet (see
  // kStampSlackNs), so it stays unsettled and the hash decides meanwhile.
  if (StampOf(path_, &fresh.stamp)) {
    fresh.index = std::make_shared<const TaggedLineIndex>(DecodeGbk(bytes));
  }
  *state_ = std::move(fresh);
  return true;
}

bool CacheFile::SetAside(const QString& suffix) {
  *state_ = State();
  if (!QFile::exists(path_)) return true;
  const QString aside = path_ + suffix;
  QFile::remove(aside);
  return QFile::rename(path_, aside) || QFile::remove(path_);
}

std::shared_ptr<const TaggedLineIndex> CacheFile::Index() const {
  FileStamp stamp;
  State& state = *state_;
  if (!StampOf(path_, &stamp)) {
    state = State();
    return nullptr;
  }
  const bool same_stamp = state.index && state.stamp == stamp;
  const qint64 read_at = NowNs();
  if (same_stamp && (state.settled || read_at - state.read_at_ns < kYoungRecheckNs)) {
    return state.index;
  }
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) return nullptr;
  const QByteArray bytes = file.readAll();
  ++file_reads_;
  State entry;
  // The stamp was taken before the read: if the file changes while it is read,
  // the next look-up sees a new stamp and reads it again.
  entry.stamp = stamp;
  entry.content_hash = qHash(bytes);
  entry.read_at_ns = read_at;
  entry.settled = read_at - std::max(stamp.modified_ns, stamp.changed_ns) > kStampSlackNs;
  if (same_stamp && state.content_hash == entry.content_hash) {
    entry.index = state.index;
  } else {
    entry.index = std::make_shared<const TaggedLineIndex>(DecodeGbk(bytes));
  }
  state = std::move(entry);
  return state.index;
}

QString CacheFile::ReadTaggedLines(QStringView tag) const {
  const auto index = Index();
  return index ? index->Lines(tag) : QString();
}

QStringList CacheFile::ClassNames() const {
  return ClassNamesFromCache(ReadTaggedLines(kClassListTag));
}

QList<TopicLine> CacheFile::Topics() const {
  QList<TopicLine> topics;
  const auto index = Index();
  if (!index) return topics;
  for (QStringView line : index->Find(kTopicTag)) {
    TopicLine topic;
    if (ParseTopicLine(line, &topic)) topics.append(std::move(topic));
  }
  return topics;
}

QList<StudentRow> CacheFile::Roster(QStringView class_name) const {
  QList<StudentRow> rows;
  const auto index = Index();
  if (!index) return rows;
  for (QStringView line : index->Find(RosterTag(class_name))) {
    StudentRow row;
    if (ParseStudentRow(line, &row)) rows.append(std::move(row));
  }
  return rows;
}

bool CacheFile::Student(QStringView class_name, QStringView student_name, StudentRow* row) const {
  const auto index = Index();
  if (!index) return false;
  for (QStringView line : index->Find(StudentTag(class_name, student_name))) {
    if (ParseStudentRow(line, row)) return true;
  }
  return false;
}

// --- Reading a file once -------------------------------------------------------

QString ReadTaggedLines(const QString& path, QStringView tag) {
  const QFileInfo info(path);
  if (!info.isFile()) return QString();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return TaggedLineIndex(DecodeGbk(file.readAll())).Lines(tag);
}

QStringList ClassNamesFromCache(QStringView class_list_text) {
  const QList<QStringView> fields = class_list_text.split(u'\t');
  QStringList names;
  for (qsizetype i = 1; i + 1 < fields.size(); ++i) names.append(fields[i].toString());
  return names;
}

bool ParseTopicLine(QStringView line, TopicLine* topic) {
  const QList<QStringView> fields = FieldsOf(line);
  if (fields.size() < 2) return false;
  topic->name = fields[1].toString();
  topic->criteria.clear();
  for (qsizetype i = 2; i + 1 < fields.size(); i += 2) {
    topic->criteria.append({fields[i].toString(), fields[i + 1].toString()});
  }
  return true;
}

QStringList TopicNamesFromCache(QStringView topic_text) {
  QStringList names;
  for (QStringView line : topic_text.split(u"\r\n")) {
    TopicLine topic;
    if (!line.isEmpty() && ParseTopicLine(line, &topic)) names.append(topic.name);
  }
  return names;
}

int StudentRow::GroupIndex() const {
  bool ok = false;
  const int value = group.toInt(&ok);
  return ok && value >= 0 && value <= 15 ? value : -1;
}

double StudentRow::AverageValue() const { return LeadingNumber(average); }
double StudentRow::CountValue() const { return LeadingNumber(count); }

bool ParseStudentRow(QStringView line, StudentRow* row) {
  const QList<QStringView> fields = FieldsOf(line);
  if (fields.size() != 6) return false;
  row->class_name = fields[0].toString();
  row->name = fields[1].toString();
  row->group = fields[2].toString();
  row->number = fields[3].toString();
  row->average = fields[4].toString();
  row->count = fields[5].toString();
  return true;
}

QList<StudentRow> StudentRowsFromText(QStringView tagged_text) {
  QList<StudentRow> rows;
  for (QStringView line : tagged_text.split(u"\r\n")) {
    StudentRow row;
    if (!line.isEmpty() && ParseStudentRow(line, &row)) rows.append(std::move(row));
  }
  return rows;
}

QString RosterTag(QStringView class_name) { return class_name.toString() + u'\t'; }

QString StudentTag(QStringView class_name, QStringView student_name) {
  return class_name.toString() + u'\t' + student_name.toString() + u'\t';
}

QString TopicTag(QStringView topic_name) {
  return QString::fromUtf16(kTopicTag) + u'\t' + topic_name.toString() + u'\t';
}

QString ClassListLine(const QStringList& class_names) {
  QString line = QString::fromUtf16(kClassListTag) + u'\t';
  for (const QString& name : class_names) line += name + u'\t';
  return line;
}

QString TopicLineText(const TopicLine& topic) {
  QString line = QString::fromUtf16(kTopicTag) + u'\t' + topic.name + u'\t';
  for (const Criterion& criterion : topic.criteria) {
    line += criterion.text + u'\t' + criterion.score + u'\t';
  }
  return line;
}

QString StudentRowText(const StudentRow& row) {
  return QStringList{row.class_name, row.name, row.group, row.number, row.average, row.count}.join(
      u'\t');
}

}  // namespace zorvanix
