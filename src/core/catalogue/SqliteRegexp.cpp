#include "SqliteRegexp.h"
#include "CatalogueError.h"

#include <QRegularExpression>
#include <memory>
#include <sqlite3.h>

namespace {
void dropExpression(void *expression)
{
    delete static_cast<QRegularExpression *>(expression);
}

std::unique_ptr<QRegularExpression> compile(sqlite3_value *pattern)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(pattern));
    auto re = std::make_unique<QRegularExpression>(QString::fromUtf8(text, sqlite3_value_bytes(pattern)),
                                                   QRegularExpression::CaseInsensitiveOption
                                                       | QRegularExpression::UseUnicodePropertiesOption);
    re->optimize();
    return re;
}

// The expression is compiled for the statement's first row and kept by
// SQLite beside the statement for the rows after it. SQLite may let a kept
// value go as soon as it is handed over, so it is handed over last.
void regexpValue(sqlite3_context *context, int, sqlite3_value **values)
{
    if (sqlite3_value_type(values[0]) == SQLITE_NULL || sqlite3_value_type(values[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    std::unique_ptr<QRegularExpression> compiled;
    const auto *re = static_cast<const QRegularExpression *>(sqlite3_get_auxdata(context, 0));
    if (!re) {
        compiled = compile(values[0]);
        if (!compiled->isValid()) {
            sqlite3_result_error(context, compiled->errorString().toUtf8().constData(), -1);
            return;
        }
        re = compiled.get();
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(values[1]));
    sqlite3_result_int(context, re->match(QString::fromUtf8(text, sqlite3_value_bytes(values[1]))).hasMatch());
    if (compiled)
        sqlite3_set_auxdata(context, 0, compiled.release(), dropExpression);
}
} // namespace

void SqliteRegexp::install(sqlite3 *db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    if (sqlite3_create_function_v2(db, "regexp", 2, flags, nullptr, regexpValue, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw CatalogueError(QString::fromUtf8(sqlite3_errmsg(db)));
}
