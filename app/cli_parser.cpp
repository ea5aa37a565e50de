#include "app/cli_parser.h"

#include <QRegularExpression>

#include <limits>

namespace cli {

namespace {

// Where a mode's help begins in --help, and where its lines end.
constexpr qsizetype kHelpColumn = 29;
constexpr qsizetype kHelpWidth = 87;
// Where a synopsis too long for one line goes on: under the mode's name.
constexpr qsizetype kSynopsisIndent = 8;

bool isWholeNumber(const QString& text) {
    if (text.isEmpty() || text.size() > 10)
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return text.toLongLong() <= std::numeric_limits<qint32>::max();
}

bool isSeconds(const QString& text) {
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    return ok && seconds > 0 && seconds <= 1e9;
}

bool isChoice(const Option& o, const QString& word) {
    return o.choices && QString::fromLatin1(o.choices).split(u' ').contains(word);
}

bool isNumber(const QString& text) {
    static const QRegularExpression plain(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
    return text.size() <= 24 && plain.match(text).hasMatch();
}

bool fits(Takes takes, const QString& value) {
    switch (takes) {
    case Takes::Text:
        return !value.isEmpty();
    case Takes::Number:
        return isNumber(value);
    case Takes::Nothing:
    case Takes::OptionalWord:
        return true;
    case Takes::WholeNumber:
        return isWholeNumber(value);
    case Takes::Count:
        return isWholeNumber(value) && value.toLongLong() > 0;
    case Takes::Seconds:
        return isSeconds(value);
    case Takes::FileName:
        return !value.isEmpty();
    }
    return false;
}

QString needs(Takes takes) {
    switch (takes) {
    case Takes::Nothing:
    case Takes::OptionalWord:
        break;
    case Takes::WholeNumber:
        return QStringLiteral(" needs a whole number");
    case Takes::Count:
        return QStringLiteral(" needs a whole number above 0");
    case Takes::Seconds:
        return QStringLiteral(" needs a number of seconds above 0");
    case Takes::FileName:
        return QStringLiteral(" needs a file name");
    case Takes::Text:
        return QStringLiteral(" needs a value");
    case Takes::Number:
        return QStringLiteral(" needs a number");
    }
    return {};
}

const Option* optionNamed(const Mode& mode, const QString& name) {
    for (const Option& o : mode.options)
        if (name == QLatin1String(o.name))
            return &o;
    return nullptr;
}

// "--simulate and --replay exclude each other"
QString excluding(const Mode& mode, int group) {
    QStringList names;
    for (const Option& o : mode.options)
        if (o.group == group)
            names << QLatin1String(o.name);
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + u" and " + last + u" exclude each other";
}

// "--limit=5": the option the argument names before its "=", and the value after it; none for
// an argument of another form or an option the mode does not have.
const Option* optionWithValue(const Mode& mode, const QString& arg, QString* value) {
    const qsizetype eq = arg.indexOf(u'=');
    if (!arg.startsWith(u"--") || eq < 3)
        return nullptr;
    const Option* o = optionNamed(mode, arg.left(eq));
    if (o)
        *value = arg.mid(eq + 1);
    return o;
}

// Takes option `o`, found at args[i], and its value: `attached` ("--limit=5"), else the next
// argument, and then i is moved past it. A value given twice would leave unclear which one
// counts.
bool take(const Mode& mode, const Option& o, const QString* attached, const QStringList& args,
          qsizetype& i, QHash<QString, QString>& given, QString* why) {
    const QString name = QLatin1String(o.name);
    for (const Option& other : mode.options)
        if (o.group != 0 && other.group == o.group && given.contains(QLatin1String(other.name))) {
            *why = excluding(mode, o.group);
            return false;
        }
    if (o.takes == Takes::Nothing) { // a flag given twice says no more than once
        if (attached) {
            *why = name + u" takes no value";
            return false;
        }
        given.insert(name, QString());
        return true;
    }
    if (given.contains(name)) {
        *why = name + u" given twice";
        return false;
    }
    if (o.takes == Takes::OptionalWord) {
        if (attached && !isChoice(o, *attached)) {
            *why = name + u" takes " + QString::fromLatin1(o.choices).split(u' ').join(u" or ");
            return false;
        }
        const bool word = !attached && i + 1 < args.size() && isChoice(o, args[i + 1]);
        given.insert(name, attached ? *attached : word ? args[++i] : QString());
        return true;
    }
    const QString* value = attached ? attached : i + 1 < args.size() ? &args[i + 1] : nullptr;
    if (!value || !fits(o.takes, *value)) {
        *why = name + needs(o.takes);
        return false;
    }
    given.insert(name, *value);
    if (!attached)
        ++i;
    return true;
}

QString optionText(const Option& o) {
    return o.value ? QLatin1String(o.name) + u' ' + QLatin1String(o.value)
                   : QString(QLatin1String(o.name));
}

// "z4072 decode"
QStringList named(const Mode& mode) {
    QStringList words{QStringLiteral("z4072")};
    if (*mode.name)
        words << QLatin1String(mode.name);
    return words;
}

// The words of the mode's synopsis, each bracketed option one word; the options with a help
// line of their own only when `explainedToo`.
QStringList synopsisWords(const Mode& mode, bool explainedToo) {
    QStringList words = named(mode);
    for (size_t i = 0; i < mode.files.size(); ++i)
        words << QLatin1String(mode.files[i]) +
                     (int(i) == mode.repeated ? QStringLiteral("...") : QString());
    const Option* previous = nullptr;
    for (const Option& o : mode.options) {
        if (o.help && !explainedToo)
            continue;
        if (previous && o.group != 0 && o.group == previous->group)
            words.last().insert(words.last().size() - 1, u" | " + optionText(o));
        else if (o.required)
            words << optionText(o);
        else
            words << u'[' + optionText(o) + u']';
        previous = &o;
    }
    return words;
}

// Adds `words` to `line`, starting a new line indented by `indent` where one would run past
// the width. A line that ends in a blank is a column waiting for its first word.
void wrap(QStringList& lines, QString& line, const QStringList& words, qsizetype indent) {
    for (const QString& w : words) {
        const bool waiting = line.endsWith(u' ');
        if (!waiting && line.size() + 1 + w.size() > kHelpWidth) {
            lines << line;
            line = QString(indent, u' ') + w;
        } else {
            line += waiting ? w : u' ' + w;
        }
    }
}

QString helpEntry(const QStringList& synopsis, const char* help) {
    QStringList lines;
    QString line = QStringLiteral("  ") + synopsis.first();
    wrap(lines, line, synopsis.mid(1), kSynopsisIndent);
    if (lines.isEmpty() && line.size() <= kHelpColumn - 2) {
        line = line.leftJustified(kHelpColumn);
    } else {
        lines << line;
        line = QString(kHelpColumn, u' ');
    }
    wrap(lines, line, QString::fromLatin1(help).split(u' ', Qt::SkipEmptyParts), kHelpColumn);
    lines << line;
    return lines.join(u'\n') + u'\n';
}

} // namespace

bool parseArguments(const Mode& mode, const QStringList& args, Arguments& out, QString* why) {
    out.files.clear();
    out.given_.clear();
    why->clear();
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        QString attached;
        if (const Option* o = optionNamed(mode, a)) {
            if (!take(mode, *o, nullptr, args, i, out.given_, why))
                return false;
        } else if (const Option* named = optionWithValue(mode, a, &attached)) {
            if (!take(mode, *named, &attached, args, i, out.given_, why))
                return false;
        } else if (mode.files.empty()) {
            *why = mode.options.empty()
                       ? QLatin1String(mode.name) + QStringLiteral(" takes no arguments")
                       : QStringLiteral("unknown argument \"%1\"").arg(a);
            return false;
        } else if (!mode.options.empty() && a.startsWith(u"--")) {
            *why = QStringLiteral("unknown option \"%1\"").arg(a);
            return false;
        } else {
            out.files << a;
        }
    }
    for (const Option& o : mode.options)
        if (o.required && !out.given_.contains(QLatin1String(o.name))) {
            *why = optionText(o) + QStringLiteral(" is required");
            return false;
        }
    const auto wanted = qsizetype(mode.files.size());
    if (mode.repeated >= 0 ? out.files.size() < wanted : out.files.size() != wanted)
        return false;
    if (out.files.contains(QString())) {
        *why = QStringLiteral("file names must not be empty");
        return false;
    }
    return true;
}

QString synopsis(const Mode& mode) {
    return synopsisWords(mode, true).join(u' ');
}

QString helpLines(const Mode& mode) {
    QString text = helpEntry(synopsisWords(mode, false), mode.help);
    for (const Option& o : mode.options)
        if (o.help)
            text += helpEntry(named(mode) << optionText(o), o.help);
    return text;
}

} // namespace cli
