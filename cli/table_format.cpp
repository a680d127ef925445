// For a person: the path, then one aligned line per field found.
//
//   samples/yoru-no-umi.zole
//     Title         B  Yoru no Umi (2004 remix)
//     Genre         A  アンビエント
#include <algorithm>

#include "record_format.hpp"
#include "text_escape.hpp"

namespace zolehead_cli {

namespace {

class TableFormat final : public RecordFormat {
public:
    TableFormat() {
        for (const zolehead::Identifier& id : zolehead::kIdentifiers) {
            keyword_width_ = std::max(keyword_width_, id.keyword.size());
        }
    }

    std::string separator() const override { return "\n"; }

    void render(const FileRecord& record, FieldText& text, std::string& out) const override {
        AppendPrintable(out, record.shown_path(text));
        out += '\n';
        if (!record.error.empty()) {
            out += "  error: ";
            AppendPrintable(out, record.error);
            out += '\n';
            return;
        }
        bool any = false;
        for (std::size_t i = 0; i < zolehead::kIdentifiers.size(); ++i) {
            const zolehead::HeaderSlot& slot = record.header.slots[i];
            if (slot.status == zolehead::STATUS_NONE) continue;
            any = true;
            const std::string_view keyword = zolehead::kIdentifiers[i].keyword;
            out += "  ";
            out += keyword;
            out.append(keyword_width_ - keyword.size() + 2, ' ');
            out += FormLetter(slot.status);
            if (!slot.text().empty()) {
                out += "  ";
                AppendPrintable(out, text.get(slot.text()).text);
            }
            out += '\n';
        }
        if (!any) out += "  (no header fields)\n";
    }

private:
    std::size_t keyword_width_ = 0;
};

}  // namespace

std::unique_ptr<RecordFormat> MakeTableFormat() { return std::make_unique<TableFormat>(); }

}  // namespace zolehead_cli
