// What the service accepts as names, accounts and addresses, and how it
// reads the "|"-joined lists the program sends.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace zorvanix::server {

inline constexpr qsizetype kMaxNameLength = 64;
inline constexpr qsizetype kMaxCriterionLength = 200;

enum class NameKind { kClass, kStudent, kTopic, kCriterion };

// The refusal for a name that would break the cache file or the reply rows,
// "" when the name is fine. Empty names are the caller's business.
QString NameProblem(QStringView name, NameKind kind);

// The entries of a "|"-joined list in order; empty entries are dropped and a
// repeated entry is kept once (where it first appears).
QStringList SplitList(QStringView joined);

// The lookup key of an account: trimmed and in lower case, so "Demo" and
// "demo" are one account.
QString AccountKey(QStringView account);
// 4 to 32 letters, digits and "_" after trimming.
bool IsValidAccount(QStringView account);
// Something@something.something without blanks; deliberately loose.
bool IsPlausibleEmail(QStringView email);
// No TAB, CR or LF: values that travel inside TAB-separated rows.
bool IsSingleField(QStringView text);

// A positive record ID.
std::optional<qint64> ParseId(QStringView text);
// "|12|8|3" as IDs; empty pieces are skipped. Anything else that is not a
// positive number gives nothing, with the piece in *bad_piece.
std::optional<QList<qint64>> ParseIdList(QStringView joined, QString* bad_piece);

}  // namespace zorvanix::server
