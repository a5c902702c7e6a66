#include "SelectionFilter.h"

#include "CadEntity.h"

#include <QRegularExpression>

namespace tavlo::drawing {

struct SelectionFilter::Node {
    enum class Type { And, Or, Test } type = Type::And;
    int code = 0;
    QVariant value;
    std::vector<std::unique_ptr<Node>> children;
};

namespace {

using Node = SelectionFilter::Node;

bool wildcardOne(const QString &pattern, const QString &text) {
    // Translate the filter wildcards into an anchored regular expression.
    QString rx;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == QLatin1Char('`') && i + 1 < pattern.size()) {
            rx += QRegularExpression::escape(QString(pattern[++i]));
        } else if (c == QLatin1Char('*')) {
            rx += QLatin1String(".*");
        } else if (c == QLatin1Char('?')) {
            rx += QLatin1Char('.');
        } else if (c == QLatin1Char('#')) {
            rx += QLatin1String("[0-9]");
        } else if (c == QLatin1Char('@')) {
            rx += QLatin1String("\\p{L}");
        } else if (c == QLatin1Char('.')) {
            rx += QLatin1String("[^\\p{L}\\p{N}]");
        } else {
            rx += QRegularExpression::escape(QString(c));
        }
    }
    const QRegularExpression re(QRegularExpression::anchoredPattern(rx),
                                QRegularExpression::CaseInsensitiveOption);
    return re.match(text).hasMatch();
}

bool hasWildcard(const QString &pattern) {
    for (QChar c : pattern)
        if (QStringLiteral("*?#@.,`~[]").contains(c))
            return true;
    return false;
}

bool testEntity(const Node &node, const CadEntity &entity) {
    const QString text = node.value.toString();
    switch (node.code) {
    case 0:
        return wildcardMatch(text, entity.dxfType());
    case 8:
        return wildcardMatch(text, entity.Layer());
    case 7: {
        const QString style = entity.StyleName();
        return !style.isEmpty() && wildcardMatch(text, style);
    }
    case 62: {
        bool ok = false;
        const int wanted = node.value.toInt(&ok);
        return ok && entity.Color() == wanted;
    }
    case 2:
        return wildcardMatch(text, entity.Name());
    case 5:
        return entity.Handle().compare(text, Qt::CaseInsensitive) == 0;
    case 100:
        if (text.compare(QLatin1String("SubClass"), Qt::CaseInsensitive) == 0) {
            using K = CadEntity::Kind;
            const K k = entity.kind();
            return k == K::Table || k == K::BlockReference || k == K::AttributeDefinition;
        }
        return entity.hasSubclass(text);
    default:
        return false; // a code the filter cannot test admits nothing, as an unknown restriction should
    }
}

bool evaluate(const Node &node, const CadEntity &entity) {
    switch (node.type) {
    case Node::Type::Test:
        return testEntity(node, entity);
    case Node::Type::And:
        for (const auto &child : node.children)
            if (!evaluate(*child, entity))
                return false;
        return true;
    case Node::Type::Or:
        for (const auto &child : node.children)
            if (evaluate(*child, entity))
                return true;
        return false;
    }
    return false;
}

} // namespace

bool wildcardMatch(const QString &pattern, const QString &text) {
    if (!hasWildcard(pattern))
        return pattern.compare(text, Qt::CaseInsensitive) == 0;
    // Alternatives separated by commas; a leading ~ negates one alternative.
    for (const QString &alternative : pattern.split(QLatin1Char(','))) {
        if (alternative.startsWith(QLatin1Char('~'))) {
            if (!wildcardOne(alternative.mid(1), text))
                return true;
        } else if (wildcardOne(alternative, text)) {
            return true;
        }
    }
    return false;
}

SelectionFilter::SelectionFilter()
    : m_root(std::make_unique<Node>()) {}
SelectionFilter::~SelectionFilter() = default;
SelectionFilter::SelectionFilter(SelectionFilter &&) noexcept = default;
SelectionFilter &SelectionFilter::operator=(SelectionFilter &&) noexcept = default;

SelectionFilter SelectionFilter::fromArrays(const CadFilterArrays &arrays, QString *error) {
    return fromArrays(arrays.types, arrays.data, error);
}

SelectionFilter SelectionFilter::fromArrays(const QList<qint16> &types, const QList<QVariant> &data,
                                            QString *error) {
    SelectionFilter filter;
    auto invalid = [&](const QString &why) {
        filter.m_valid = false;
        if (error)
            *error = why;
        return std::move(filter);
    };
    if (types.size() != data.size())
        return invalid(QStringLiteral("filter arrays of different lengths"));
    std::vector<Node *> stack{filter.m_root.get()};
    for (qsizetype i = 0; i < types.size(); ++i) {
        if (types[i] == -4) {
            const QString op = data[i].toString().trimmed().toUpper();
            if (op == QLatin1String("<AND") || op == QLatin1String("<OR")) {
                auto node = std::make_unique<Node>();
                node->type = op == QLatin1String("<AND") ? Node::Type::And : Node::Type::Or;
                Node *raw = node.get();
                stack.back()->children.push_back(std::move(node));
                stack.push_back(raw);
            } else if (op == QLatin1String("AND>") || op == QLatin1String("OR>")) {
                const Node::Type wanted = op == QLatin1String("AND>") ? Node::Type::And : Node::Type::Or;
                if (stack.size() < 2 || stack.back()->type != wanted)
                    return invalid(QStringLiteral("unbalanced filter operator %1 at %2").arg(op).arg(i));
                stack.pop_back();
            } else {
                return invalid(QStringLiteral("unknown filter operator %1").arg(op));
            }
            continue;
        }
        auto test = std::make_unique<Node>();
        test->type = Node::Type::Test;
        test->code = types[i];
        test->value = data[i];
        stack.back()->children.push_back(std::move(test));
    }
    if (stack.size() != 1)
        return invalid(QStringLiteral("filter operator left open"));
    return filter;
}

bool SelectionFilter::matches(const CadEntity &entity) const {
    return m_valid && entity.isAlive() && evaluate(*m_root, entity);
}

} // namespace tavlo::drawing
