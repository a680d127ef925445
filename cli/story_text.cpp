#include "story_text.hpp"

#include <algorithm>

#include "story_messages.hpp"
#include "text_escape.hpp"

namespace zolehead_cli {

namespace {

using namespace zolehead::explain;
using zolehead::EntryForm;
using zolehead::HeaderForm;

void AppendDecoded(std::string& out, zolehead::collection::ShiftJisDecoder& decoder, std::string_view bytes) {
    std::string text;
    decoder.decode(bytes, text);
    AppendPrintable(out, text);
}

// "form A", "form B", "combined": a reader's name before "reader" or "readers".
std::string_view ShortName(HeaderForm reader) {
    switch (reader) {
    case HeaderForm::A: return "form A";
    case HeaderForm::B: return "form B";
    case HeaderForm::BOTH: break;
    }
    return "combined";
}

std::string Place(const TextPosition& at) { return std::to_string(at.line) + ":" + std::to_string(at.column); }

void AppendFinals(std::string& out, const FieldStory& field, zolehead::collection::ShiftJisDecoder& decoder) {
    std::size_t width = 0;
    for (const HeaderForm reader : kReaders) width = std::max(width, ReaderName(reader).size());
    for (const HeaderForm reader : kReaders) {
        const FinalValue& final = field.final_of(reader);
        out += "    ";
        out += ReaderName(reader);
        out.append(width - ReaderName(reader).size() + 2, ' ');
        if (final.status == zolehead::STATUS_NONE) {
            out += "   (nothing)\n";
            continue;
        }
        out += final.status == zolehead::STATUS_FORM_A ? "A  " : "B  ";
        if (final.value.empty()) {
            out += "(empty)";
        } else {
            AppendDecoded(out, decoder, final.value);
        }
        out += '\n';
    }
}

void AppendEntry(std::string& out, const FieldStory& field, const StoryEntry& e,
                 zolehead::collection::ShiftJisDecoder& decoder) {
    out += "    ";
    out += Place(e.at);
    out += e.form == EntryForm::A ? "  form A  " : "  form B  ";
    if (e.stored.empty()) {
        out += "(no value)";
    } else {
        AppendDecoded(out, decoder, e.stored);
    }
    out += '\n';
    // Readers that did the same are named together.
    const std::vector<Verdict>& verdicts = e.verdicts;
    for (std::size_t i = 0; i < verdicts.size(); ++i) {
        const std::string message = DescribeVerdict(field, verdicts[i]);
        out += "      ";
        out += ShortName(verdicts[i].reader);
        if (i + 1 < verdicts.size() && DescribeVerdict(field, verdicts[i + 1]) == message) {
            out += " and ";
            out += ShortName(verdicts[++i].reader);
            out += " readers: ";
        } else {
            out += " reader: ";
        }
        out += message + "\n";
    }
    for (const std::string& note : DescribeNotes(e)) out += "      " + note + "\n";
}

}  // namespace

void AppendStoryText(std::string& out, std::string_view path, const Story& story,
                     zolehead::collection::ShiftJisDecoder& decoder) {
    AppendPrintable(out, path);
    out += '\n';
    for (const FieldStory& field : story.fields) {
        const zolehead::Identifier& id = zolehead::kIdentifiers[static_cast<std::size_t>(field.row)];
        out += "  ";
        out += id.keyword;
        out += ' ';
        AppendDecoded(out, decoder, id.label);
        out += '\n';
        AppendFinals(out, field, decoder);
        const ShownEntries shown = Shown(field);
        for (std::size_t i = 0; i < field.entries.size(); ++i) {
            if (i == shown.head_end && shown.hidden() > 0) {
                out += "    ... " + std::to_string(shown.hidden()) + " more entries not shown ...\n";
                i = shown.tail_begin;
            }
            AppendEntry(out, field, field.entries[i], decoder);
        }
    }
    if (story.fields.empty()) out += "  (no header entries)\n";
    if (story.unclosed_quote) {
        out += "  " + Place(*story.unclosed_quote) +
               "  a form B value opened here is never closed: it runs to the end and nothing is stored\n";
    }
    if (story.end_mark) {
        out += "  " + Place(*story.end_mark) + "  end-of-text mark (0x1A): nothing after it is read\n";
    }
}

}  // namespace zolehead_cli
