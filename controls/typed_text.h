// What a typed text must not hold before it is sent to the service: the
// messages every window shows for it.
#pragma once

#include <QString>
#include <QStringView>

namespace zorvanix {

// Why a typed text cannot be sent as it stands, "" when it can: a "|" or a
// TAB would split it into several names on the service, and a character GBK
// cannot hold would arrive as "?" (two such names would become one).
QString TypedTextProblem(QStringView text);
// Only the second test: a character GBK cannot hold, "" when there is none.
QString GbkProblem(QStringView text);

}  // namespace zorvanix
