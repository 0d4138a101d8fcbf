// The cache file "ServerRec.dmd": the teacher's classes, topics with their
// criteria and the students of every class, as the service's record download
// delivered them. The program never edits it; it is replaced whole by each
// download and otherwise only read, line by line, by tag.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <vector>

namespace zorvanix {

inline constexpr char kServerRecordFileName[] = "ServerRec.dmd";
inline constexpr char16_t kClassListTag[] = u"Class_Is_Ready";
inline constexpr char16_t kTopicTag[] = u"[keti]";

// Every line of the file at path that begins with tag (exact, case-sensitive),
// in file order, each followed by CR LF, concatenated. "" when the file does
// not exist. Reads the file each time; the program's own look-ups go through
// its CacheFile, which keeps the file indexed in memory.
QString ReadTaggedLines(const QString& path, QStringView tag);

// The lines of one text, indexed for prefix look-ups.
class TaggedLineIndex {
 public:
  explicit TaggedLineIndex(QString text);

  // The lines beginning with tag, in file order, without their line ends.
  std::vector<QStringView> Find(QStringView tag) const;
  // Find() joined as ReadTaggedLines returns it.
  QString Lines(QStringView tag) const;
  qsizetype LineCount() const { return static_cast<qsizetype>(lines_.size()); }

 private:
  QString text_;
  std::vector<QStringView> lines_;  // file order
  std::vector<int> sorted_;         // line numbers ordered by line text
};

// --- Line kinds -----------------------------------------------------------

// The class names of the class-list text (what ReadTaggedLines returns for
// "Class_Is_Ready"): the TAB-separated fields after the tag, without the last
// one, which is what follows the final TAB.
QStringList ClassNamesFromCache(QStringView class_list_text);

struct Criterion {
  QString text;
  QString score;  // as the service wrote it
};

struct TopicLine {
  QString name;
  QList<Criterion> criteria;
};

// A "[keti]" line: field 1 the topic name, then criterion text/score pairs.
// A line without a name field gives nothing.
bool ParseTopicLine(QStringView line, TopicLine* topic);

// The topic names of the topic text (every "[keti]" line), in file order.
QStringList TopicNamesFromCache(QStringView topic_text);

struct StudentRow {
  QString class_name;
  QString name;
  QString group;    // field 2, "0" to "15"
  QString number;   // field 3, the service's own
  QString average;  // field 4, as written
  QString count;    // field 5, as written
  // The group number 0..15, or -1 when the field is anything else.
  int GroupIndex() const;
  double AverageValue() const;
  double CountValue() const;
};

// A roster row: exactly six TAB-separated fields (after the line end is
// removed). Any other shape gives false.
bool ParseStudentRow(QStringView line, StudentRow* row);

// The roster of one class: every row that begins with class_name + TAB and
// has six fields, in file order.
QList<StudentRow> StudentRowsFromText(QStringView tagged_text);

// Tags of the look-ups that select one class or one student. The TAB keeps
// class "1" from matching the rows of class "10".
QString RosterTag(QStringView class_name);
QString StudentTag(QStringView class_name, QStringView student_name);
QString TopicTag(QStringView topic_name);

// --- The program's cache file ---------------------------------------------

// The cache file of one program folder, owned by the program and handed to
// the windows. Replace() is how the record download writes it; every look-up
// is served from an in-memory index built once per version of the file, so a
// look-up after the first costs microseconds. A file changed behind the
// program's back (copied in by hand, say) is noticed by its stamp and read
// again.
class CacheFile {
 public:
  explicit CacheFile(QString path);
  ~CacheFile();
  CacheFile(const CacheFile&) = delete;
  CacheFile& operator=(const CacheFile&) = delete;

  const QString& Path() const { return path_; }
  bool Exists() const;

  // Replaces the file whole with bytes (GBK), atomically: on failure the old
  // file stays as it was and false is returned. The next look-up sees the new
  // content without reading the file back.
  bool Replace(QByteArrayView bytes);
  // Moves the file to path + suffix (replacing what was there), so nothing
  // of it is read any more but it is not lost; false when it could not be
  // moved or removed. Nothing to do when there is no file.
  bool SetAside(const QString& suffix);

  // The index of the file as it is now; null when the file is missing.
  // Holding it keeps that version (a rolling draw keeps the roster it began
  // with even when a download replaces the file meanwhile).
  std::shared_ptr<const TaggedLineIndex> Index() const;

  QString ReadTaggedLines(QStringView tag) const;
  // The names of the class line "Class_Is_Ready", in file order.
  QStringList ClassNames() const;
  // Every "[keti]" line with a name field, in file order.
  QList<TopicLine> Topics() const;
  // The six-field rows of one class, in file order.
  QList<StudentRow> Roster(QStringView class_name) const;
  // The first six-field row of one student of one class; false when none.
  bool Student(QStringView class_name, QStringView student_name, StudentRow* row) const;

  // How many times this object has read the file from disk. An unchanged
  // file is served from memory, so this stays put across look-ups; the
  // benchmark and the tests watch it.
  qint64 FileReads() const { return file_reads_; }

 private:
  struct State;
  QString path_;
  std::unique_ptr<State> state_;
  mutable qint64 file_reads_ = 0;
};

// --- Writing, for the service -----------------------------------------------

QString ClassListLine(const QStringList& class_names);
QString TopicLineText(const TopicLine& topic);
QString StudentRowText(const StudentRow& row);

}  // namespace zorvanix
