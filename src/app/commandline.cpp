#include "app/commandline.h"

#include <array>
#include <utility>

namespace stikko {

namespace {

struct Option {
    const char* name;
    CommandLine::Outcome outcome;
    Command::Kind kind;
    bool takesWords;
};

using O = CommandLine::Outcome;
using K = Command::Kind;
constexpr std::array kOptions = {
    Option{"--new", O::Run, K::NewNote, true},
    Option{"--new-from-selection", O::Run, K::NewFromSelection, false},
    Option{"--find", O::Run, K::Find, true},
    Option{"--show-all", O::Run, K::ShowAll, false},
    Option{"--hide-all", O::Run, K::HideAll, false},
    Option{"--manager", O::Run, K::Manager, false},
    Option{"--help", O::Help, K::NewNote, false},
    Option{"--version", O::Version, K::NewNote, false},
};

const Option* optionNamed(const QString& argument) {
    for (const Option& option : kOptions) {
        if (argument == QLatin1String(option.name))
            return &option;
    }
    return nullptr;
}

bool looksLikeOption(const QString& argument) {
    return argument.size() > 1 && argument.startsWith(u'-');
}

CommandLine failed(const QString& error) {
    CommandLine line;
    line.outcome = O::Error;
    line.error =
        QStringLiteral("stikko: ") + error + QStringLiteral(" ('stikko --help'에 사용법이 있습니다)");
    return line;
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    // --help and --version answer whatever else is there (before "--").
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--"))
            break;
        if (const Option* option = optionNamed(argument); option && option->outcome != O::Run) {
            CommandLine line;
            line.outcome = option->outcome;
            return line;
        }
    }
    CommandLine line;
    const Option* command = nullptr;
    QStringList words;
    bool optionsEnded = false;
    bool fromStdin = false; // "-" before "--"

    for (const QString& argument : arguments) {
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && looksLikeOption(argument)) {
            const Option* option = optionNamed(argument);
            if (!option)
                return failed(QStringLiteral("알 수 없는 옵션 '%1'").arg(argument));
            if (command)
                return failed(QStringLiteral("명령은 하나만 줄 수 있습니다: '%1'와 '%2'")
                                  .arg(QLatin1String(command->name), argument));
            command = option;
            continue;
        }
        if (!command || !command->takesWords) {
            return failed(command ? QStringLiteral("'%1'는 인자를 받지 않습니다: '%2'")
                                        .arg(QLatin1String(command->name), argument)
                                  : QStringLiteral("옵션이 아닌 인자 '%1'").arg(argument));
        }
        fromStdin = fromStdin || (!optionsEnded && argument == QLatin1String("-"));
        words << argument;
    }
    if (!command)
        return line;
    line.outcome = O::Run;
    line.command.kind = command->kind;
    line.command.hasText = !words.isEmpty() || command->kind == K::Find;
    if (command->kind == K::NewNote && fromStdin) {
        if (words.size() != 1)
            return failed(QStringLiteral("표준 입력을 뜻하는 '-'는 --new의 유일한 TEXT여야 합니다"));
        line.textFromStdin = true;
        return line;
    }
    line.command.text = command->kind == K::NewNote ? cleanNoteText(words.join(u' ')) : words.join(u' ');
    return line;
}

QString usage() {
    return QStringLiteral(
        "사용법: stikko [명령]\n"
        "\n"
        "  (명령 없이)            Stikko를 시작합니다. 이미 실행 중이면 새 메모를 만듭니다.\n"
        "  --new [TEXT...]        새 메모를 만듭니다: 작성일 줄 다음에 TEXT.\n"
        "                         TEXT가 '-'이면 표준 입력에서 읽습니다 (1 MB까지).\n"
        "  --new-from-selection   데스크톱에서 선택한 글로 새 메모를 만듭니다\n"
        "                         (선택 영역이 없는 곳에서는 클립보드의 글).\n"
        "  --find [WORDS...]      메모 찾기 창을 엽니다. 찾을 말은 WORDS입니다.\n"
        "  --show-all             숨겨진 모든 메모장을 보입니다.\n"
        "  --hide-all             모든 메모장을 숨깁니다.\n"
        "  --manager              전체 메모장 상태 보기를 엽니다.\n"
        "  --help                 이 도움말을 보이고 끝납니다.\n"
        "  --version              판 번호를 보이고 끝납니다.\n"
        "\n"
        "명령은 실행 중인 Stikko가 수행합니다. 실행 중이 아니면 먼저 시작합니다.\n"
        "'--' 다음의 인자는 '-'로 시작해도 TEXT나 WORDS입니다.\n");
}

QString noteTextFrom(QByteArrayView utf8) {
    return cleanNoteText(QString::fromUtf8(utf8));
}

QString cleanNoteText(const QString& text) {
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            clean += u'\n';
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else if (c == u'\n' || c == u'\t' || c.category() != QChar::Other_Control) {
            clean += c;
        }
    }
    return clean;
}

} // namespace stikko
