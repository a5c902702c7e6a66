#include "FormulaText.h"

#include "CellAddress.h"
#include "SheetData.h"

#include <QLocale>
#include <QtEndian>

#include <cstring>
#include <vector>

namespace tavlo::sheet::biff8 {

namespace {

// The functions built into the program, by the index the file stores: name and number of arguments
// (-1 when the token says how many).
struct Function {
    quint16 index;
    const char *name;
    qint8 arguments;
};

constexpr Function kFunctions[] = {
    {0, "COUNT", -1},
    {1, "IF", -1},
    {2, "ISNA", 1},
    {3, "ISERROR", 1},
    {4, "SUM", -1},
    {5, "AVERAGE", -1},
    {6, "MIN", -1},
    {7, "MAX", -1},
    {8, "ROW", -1},
    {9, "COLUMN", -1},
    {10, "NA", 0},
    {11, "NPV", -1},
    {12, "STDEV", -1},
    {13, "DOLLAR", -1},
    {14, "FIXED", -1},
    {15, "SIN", 1},
    {16, "COS", 1},
    {17, "TAN", 1},
    {18, "ATAN", 1},
    {19, "PI", 0},
    {20, "SQRT", 1},
    {21, "EXP", 1},
    {22, "LN", 1},
    {23, "LOG10", 1},
    {24, "ABS", 1},
    {25, "INT", 1},
    {26, "SIGN", 1},
    {27, "ROUND", 2},
    {28, "LOOKUP", -1},
    {29, "INDEX", -1},
    {30, "REPT", 2},
    {31, "MID", 3},
    {32, "LEN", 1},
    {33, "VALUE", 1},
    {34, "TRUE", 0},
    {35, "FALSE", 0},
    {36, "AND", -1},
    {37, "OR", -1},
    {38, "NOT", 1},
    {39, "MOD", 2},
    {40, "DCOUNT", 3},
    {41, "DSUM", 3},
    {42, "DAVERAGE", 3},
    {43, "DMIN", 3},
    {44, "DMAX", 3},
    {45, "DSTDEV", 3},
    {46, "VAR", -1},
    {47, "DVAR", 3},
    {48, "TEXT", 2},
    {49, "LINEST", -1},
    {50, "TREND", -1},
    {51, "LOGEST", -1},
    {52, "GROWTH", -1},
    {56, "PV", -1},
    {57, "FV", -1},
    {58, "NPER", -1},
    {59, "PMT", -1},
    {60, "RATE", -1},
    {61, "MIRR", 3},
    {62, "IRR", -1},
    {63, "RAND", 0},
    {64, "MATCH", -1},
    {65, "DATE", 3},
    {66, "TIME", 3},
    {67, "DAY", 1},
    {68, "MONTH", 1},
    {69, "YEAR", 1},
    {70, "WEEKDAY", -1},
    {71, "HOUR", 1},
    {72, "MINUTE", 1},
    {73, "SECOND", 1},
    {74, "NOW", 0},
    {75, "AREAS", 1},
    {76, "ROWS", 1},
    {77, "COLUMNS", 1},
    {78, "OFFSET", -1},
    {82, "SEARCH", -1},
    {83, "TRANSPOSE", 1},
    {86, "TYPE", 1},
    {92, "SERIESSUM", 4},
    {97, "ATAN2", 2},
    {98, "ASIN", 1},
    {99, "ACOS", 1},
    {100, "CHOOSE", -1},
    {101, "HLOOKUP", -1},
    {102, "VLOOKUP", -1},
    {105, "ISREF", 1},
    {109, "LOG", -1},
    {111, "CHAR", 1},
    {112, "LOWER", 1},
    {113, "UPPER", 1},
    {114, "PROPER", 1},
    {115, "LEFT", -1},
    {116, "RIGHT", -1},
    {117, "EXACT", 2},
    {118, "TRIM", 1},
    {119, "REPLACE", 4},
    {120, "SUBSTITUTE", -1},
    {121, "CODE", 1},
    {124, "FIND", -1},
    {125, "CELL", -1},
    {126, "ISERR", 1},
    {127, "ISTEXT", 1},
    {128, "ISNUMBER", 1},
    {129, "ISBLANK", 1},
    {130, "T", 1},
    {131, "N", 1},
    {140, "DATEVALUE", 1},
    {141, "TIMEVALUE", 1},
    {142, "SLN", 3},
    {143, "SYD", 4},
    {144, "DDB", -1},
    {148, "INDIRECT", -1},
    {162, "CLEAN", 1},
    {163, "MDETERM", 1},
    {164, "MINVERSE", 1},
    {165, "MMULT", 2},
    {167, "IPMT", -1},
    {168, "PPMT", -1},
    {169, "COUNTA", -1},
    {183, "PRODUCT", -1},
    {184, "FACT", 1},
    {189, "DPRODUCT", 3},
    {190, "ISNONTEXT", 1},
    {193, "STDEVP", -1},
    {194, "VARP", -1},
    {195, "DSTDEVP", 3},
    {196, "DVARP", 3},
    {197, "TRUNC", -1},
    {198, "ISLOGICAL", 1},
    {199, "DCOUNTA", 3},
    {204, "USDOLLAR", -1},
    {205, "FINDB", -1},
    {206, "SEARCHB", -1},
    {207, "REPLACEB", 4},
    {208, "LEFTB", -1},
    {209, "RIGHTB", -1},
    {210, "MIDB", 3},
    {211, "LENB", 1},
    {212, "ROUNDUP", 2},
    {213, "ROUNDDOWN", 2},
    {214, "ASC", 1},
    {215, "DBCS", 1},
    {216, "RANK", -1},
    {219, "ADDRESS", -1},
    {220, "DAYS360", -1},
    {221, "TODAY", 0},
    {222, "VDB", -1},
    {227, "MEDIAN", -1},
    {228, "SUMPRODUCT", -1},
    {229, "SINH", 1},
    {230, "COSH", 1},
    {231, "TANH", 1},
    {232, "ASINH", 1},
    {233, "ACOSH", 1},
    {234, "ATANH", 1},
    {235, "DGET", 3},
    {244, "INFO", 1},
    {247, "DB", -1},
    {252, "FREQUENCY", 2},
    {261, "ERROR.TYPE", 1},
    {269, "AVEDEV", -1},
    {270, "BETADIST", -1},
    {271, "GAMMALN", 1},
    {272, "BETAINV", -1},
    {273, "BINOMDIST", 4},
    {274, "CHIDIST", 2},
    {275, "CHIINV", 2},
    {276, "COMBIN", 2},
    {277, "CONFIDENCE", 3},
    {278, "CRITBINOM", 3},
    {279, "EVEN", 1},
    {280, "EXPONDIST", 3},
    {281, "FDIST", 3},
    {282, "FINV", 3},
    {283, "FISHER", 1},
    {284, "FISHERINV", 1},
    {285, "FLOOR", 2},
    {286, "GAMMADIST", 4},
    {287, "GAMMAINV", 3},
    {288, "CEILING", 2},
    {289, "HYPGEOMDIST", 4},
    {290, "LOGNORMDIST", 3},
    {291, "LOGINV", 3},
    {292, "NEGBINOMDIST", 3},
    {293, "NORMDIST", 4},
    {294, "NORMSDIST", 1},
    {295, "NORMINV", 3},
    {296, "NORMSINV", 1},
    {297, "STANDARDIZE", 3},
    {298, "ODD", 1},
    {299, "PERMUT", 2},
    {300, "POISSON", 3},
    {301, "TDIST", 3},
    {302, "WEIBULL", 4},
    {303, "SUMXMY2", 2},
    {304, "SUMX2MY2", 2},
    {305, "SUMX2PY2", 2},
    {306, "CHITEST", 2},
    {307, "CORREL", 2},
    {308, "COVAR", 2},
    {309, "FORECAST", 3},
    {310, "FTEST", 2},
    {311, "INTERCEPT", 2},
    {312, "PEARSON", 2},
    {313, "RSQ", 2},
    {314, "STEYX", 2},
    {315, "SLOPE", 2},
    {316, "TTEST", 4},
    {317, "PROB", -1},
    {318, "DEVSQ", -1},
    {319, "GEOMEAN", -1},
    {320, "HARMEAN", -1},
    {321, "SUMSQ", -1},
    {322, "KURT", -1},
    {323, "SKEW", -1},
    {324, "ZTEST", -1},
    {325, "LARGE", 2},
    {326, "SMALL", 2},
    {327, "QUARTILE", 2},
    {328, "PERCENTILE", 2},
    {329, "PERCENTRANK", -1},
    {330, "MODE", -1},
    {331, "TRIMMEAN", 2},
    {332, "TINV", 2},
    {336, "CONCATENATE", -1},
    {337, "POWER", 2},
    {342, "RADIANS", 1},
    {343, "DEGREES", 1},
    {344, "SUBTOTAL", -1},
    {345, "SUMIF", -1},
    {346, "COUNTIF", 2},
    {347, "COUNTBLANK", 1},
    {350, "ISPMT", 4},
    {351, "DATEDIF", 3},
    {352, "DATESTRING", 1},
    {353, "NUMBERSTRING", 2},
    {354, "ROMAN", -1},
    {358, "GETPIVOTDATA", 2},
    {359, "HYPERLINK", -1},
    {360, "PHONETIC", 1},
    {361, "AVERAGEA", -1},
    {362, "MAXA", -1},
    {363, "MINA", -1},
    {364, "STDEVPA", -1},
    {365, "VARPA", -1},
    {366, "STDEVA", -1},
    {367, "VARA", -1},
    {368, "BAHTTEXT", 1},
    {369, "THAIDAYOFWEEK", 1},
    {370, "THAIDIGIT", 1},
    {371, "THAIMONTHOFYEAR", 1},
    {372, "THAINUMSOUND", 1},
    {373, "THAINUMSTRING", 1},
    {374, "THAISTRINGLENGTH", 1},
    {375, "ISTHAIDIGIT", 1},
    {376, "ROUNDBAHTDOWN", 1},
    {377, "ROUNDBAHTUP", 1},
    {378, "THAIYEAR", 1},
    {379, "RTD", -1},
};

const Function *function(quint16 index) {
    // The table is sorted by index.
    const auto *end = std::end(kFunctions);
    const auto *it = std::lower_bound(std::begin(kFunctions), end, index,
                                      [](const Function &f, quint16 i) { return f.index < i; });
    return it != end && it->index == index ? it : nullptr;
}

// How tightly an expression binds, so that parentheses go exactly where the order of the tokens needs them.
enum Binding { kCompare = 1, kConcat, kAddSub, kMulDiv, kPower, kUnary, kPercent, kAtom };

struct Expression {
    QString text;
    int binding = kAtom;
};

QString cellText(quint16 row, quint16 columnField) {
    const int column = columnField & 0x00FF;
    const bool columnRelative = columnField & 0x4000;
    const bool rowRelative = columnField & 0x8000;
    return (columnRelative ? QString() : QStringLiteral("$")) + columnLetters(column + 1) +
           (rowRelative ? QString() : QStringLiteral("$")) + QString::number(row + 1);
}

QString numberText(double value) {
    return QString::number(value, 'g', QLocale::FloatingPointShortest).toUpper();
}

} // namespace

QString formulaTextOfTokens(const QByteArray &tokens) {
    const char *p = tokens.constData();
    const qsizetype size = tokens.size();
    std::vector<Expression> stack;
    auto pop = [&](Expression *e) {
        if (stack.empty())
            return false;
        *e = std::move(stack.back());
        stack.pop_back();
        return true;
    };
    auto wrapped = [](const Expression &e, int below) {
        return e.binding < below ? u'(' + e.text + u')' : e.text;
    };
    qsizetype at = 0;
    while (at < size) {
        const quint8 ptg = quint8(p[at]);
        auto need = [&](qsizetype n) { return at + 1 + n <= size; };
        if (ptg >= 0x03 && ptg <= 0x0E) { // binary operators
            static const char *const names[] = {"+", "-",  "*", "/",  "^", "&",
                                                "<", "<=", "=", ">=", ">", "<>"};
            static const int bindings[] = {kAddSub,  kAddSub,  kMulDiv,  kMulDiv,  kPower,   kConcat,
                                           kCompare, kCompare, kCompare, kCompare, kCompare, kCompare};
            Expression left, right;
            if (!pop(&right) || !pop(&left))
                return {};
            const int b = bindings[ptg - 0x03];
            stack.push_back({wrapped(left, b) + QLatin1String(names[ptg - 0x03]) + wrapped(right, b + 1), b});
            at += 1;
        } else if (ptg == 0x12 || ptg == 0x13) { // unary plus, minus
            Expression e;
            if (!pop(&e))
                return {};
            stack.push_back(
                {(ptg == 0x12 ? QStringLiteral("+") : QStringLiteral("-")) + wrapped(e, kUnary), kUnary});
            at += 1;
        } else if (ptg == 0x14) { // percent
            Expression e;
            if (!pop(&e))
                return {};
            stack.push_back({wrapped(e, kPercent) + u'%', kPercent});
            at += 1;
        } else if (ptg == 0x15) { // parentheses
            Expression e;
            if (!pop(&e))
                return {};
            stack.push_back({u'(' + e.text + u')', kAtom});
            at += 1;
        } else if (ptg == 0x16) { // missing argument
            stack.push_back({});
            at += 1;
        } else if (ptg == 0x17) { // string
            if (!need(2))
                return {};
            const int count = quint8(p[at + 1]);
            const bool wide = p[at + 2] & 1;
            if (!need(2 + qsizetype(count) * (wide ? 2 : 1)))
                return {};
            QString text;
            for (int i = 0; i < count; ++i)
                text += wide ? QChar(qFromLittleEndian<quint16>(p + at + 3 + i * 2))
                             : QChar(uchar(p[at + 3 + i]));
            text.replace(u'"', QStringLiteral("\"\""));
            stack.push_back({u'"' + text + u'"', kAtom});
            at += 3 + qsizetype(count) * (wide ? 2 : 1);
        } else if (ptg == 0x19) { // attributes
            if (!need(3))
                return {};
            const quint8 kind = quint8(p[at + 1]);
            qsizetype length = 4;
            if (kind & 0x04) {
                length += 2 * (qsizetype(qFromLittleEndian<quint16>(p + at + 2)) + 1);
            } else if (kind == 0x10) { // SUM of one argument
                Expression e;
                if (!pop(&e))
                    return {};
                stack.push_back({QStringLiteral("SUM(") + e.text + u')', kAtom});
            } else if (!(kind & (0x01 | 0x02 | 0x08 | 0x40 | 0x41))) {
                return {};
            }
            at += length;
        } else if (ptg == 0x1C) { // error
            if (!need(1))
                return {};
            const QString text = errorText(quint8(p[at + 1]));
            if (text.isEmpty())
                return {};
            stack.push_back({text, kAtom});
            at += 2;
        } else if (ptg == 0x1D) { // boolean
            if (!need(1))
                return {};
            stack.push_back({p[at + 1] ? QStringLiteral("TRUE") : QStringLiteral("FALSE"), kAtom});
            at += 2;
        } else if (ptg == 0x1E) { // integer
            if (!need(2))
                return {};
            stack.push_back({QString::number(qFromLittleEndian<quint16>(p + at + 1)), kAtom});
            at += 3;
        } else if (ptg == 0x1F) { // number
            if (!need(8))
                return {};
            const quint64 bits = qFromLittleEndian<quint64>(p + at + 1);
            double value;
            std::memcpy(&value, &bits, 8);
            stack.push_back({numberText(value), kAtom});
            at += 9;
        } else if (ptg >= 0x20 && ptg <= 0x7F) {
            const int base = ptg & 0x1F;
            if (base == 0x01 || base == 0x02) { // functions
                const bool variable = base == 0x02;
                if (!need(variable ? 3 : 2))
                    return {};
                const quint16 index = qFromLittleEndian<quint16>(p + at + (variable ? 2 : 1));
                const Function *f = index & 0x8000 ? nullptr : function(index); // not macro commands
                if (!f || (!variable && f->arguments < 0))
                    return {};
                const int count = variable ? quint8(p[at + 1]) & 0x7F : f->arguments;
                if (count > int(stack.size()))
                    return {};
                QStringList arguments;
                for (auto it = stack.end() - count; it != stack.end(); ++it)
                    arguments << it->text;
                stack.resize(stack.size() - size_t(count));
                stack.push_back({QLatin1String(f->name) + u'(' + arguments.join(u',') + u')', kAtom});
                at += variable ? 4 : 3;
            } else if (base == 0x04) { // a cell
                if (!need(4))
                    return {};
                stack.push_back(
                    {cellText(qFromLittleEndian<quint16>(p + at + 1), qFromLittleEndian<quint16>(p + at + 3)),
                     kAtom});
                at += 5;
            } else if (base == 0x05) { // a range
                if (!need(8))
                    return {};
                stack.push_back({cellText(qFromLittleEndian<quint16>(p + at + 1),
                                          qFromLittleEndian<quint16>(p + at + 5)) +
                                     u':' +
                                     cellText(qFromLittleEndian<quint16>(p + at + 3),
                                              qFromLittleEndian<quint16>(p + at + 7)),
                                 kAtom});
                at += 9;
            } else if (base == 0x0A || base == 0x0B) { // deleted cell or range
                if (!need(base == 0x0A ? 4 : 8))
                    return {};
                stack.push_back({QStringLiteral("#REF!"), kAtom});
                at += base == 0x0A ? 5 : 9;
            } else {
                return {};
            }
        } else {
            return {};
        }
    }
    return stack.size() == 1 ? stack.front().text : QString();
}

} // namespace tavlo::sheet::biff8
