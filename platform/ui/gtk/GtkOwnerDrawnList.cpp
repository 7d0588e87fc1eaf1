#include "platform/ui/gtk/GtkOwnerDrawnList.h"

#include "platform/base/strings.h"
#include "platform/ui/gtk/GtkText.h"
#include "platform/ui/gtk/GtkWidgets.h"
#include "platform/ui/wingdi.h"

#include <algorithm>

namespace plat::ui::gtk {

namespace {

// Texts an owner draws for one entry, at most; more are joined into the
// last column.
constexpr int kColumns = 4;
// The entry's rectangle in the closed field: the field without its border
// and its drop-down button, as the dialog renderer asks the owner to draw.
constexpr int kFieldBorder = 1;
constexpr int kDropButton = 17;
constexpr const char* kOwnerDrawnKey = "qbk-owner-drawn";

struct Drawn {
    std::vector<std::string> texts;
    std::vector<int> lefts; // where each text starts in the entry
};

Drawn DrawnEntry(const UiWindow& window, int index, const RECT& entry)
{
    Drawn drawn;
    for (const DrawOp& op : DrawComboItem(window.hwnd, index, false, entry)) {
        if (op.kind != DrawOp::Kind::Text)
            continue;
        if (static_cast<int>(drawn.texts.size()) == kColumns) {
            drawn.texts.back() += '\t' + Utf8(op.text);
            continue;
        }
        drawn.texts.push_back(Utf8(op.text));
        drawn.lefts.push_back(op.rect.left - entry.left);
    }
    return drawn;
}

// Each column as wide as the room up to where the owner starts the next;
// the first column keeps the owner's margin before its text.
void PlaceColumns(GtkWidget* list, const Drawn& drawn)
{
    GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(list));
    int column = 0;
    for (GList* c = cells; c; c = c->next, ++column) {
        const auto index = static_cast<size_t>(column);
        const int left = index < drawn.lefts.size() ? drawn.lefts[index] : 0;
        const int next = index + 1 < drawn.lefts.size() ? drawn.lefts[index + 1] : -1;
        const int pad = column == 0 ? std::max(0, left) : 0;
        g_object_set(c->data, "xpad", pad, "width", next > left ? next - left + pad : -1, nullptr);
    }
    g_list_free(cells);
}

} // namespace

GtkWidget* MakeOwnerDrawnList()
{
    GType types[kColumns];
    std::fill(std::begin(types), std::end(types), G_TYPE_STRING);
    GtkListStore* store = gtk_list_store_newv(kColumns, types);
    GtkWidget* list = gtk_combo_box_new_with_model(GTK_TREE_MODEL(store));
    g_object_unref(store);
    for (int column = 0; column < kColumns; ++column) {
        GtkCellRenderer* cell = gtk_cell_renderer_text_new();
        g_object_set(cell, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
        gtk_cell_layout_pack_start(GTK_CELL_LAYOUT(list), cell, column == kColumns - 1);
        gtk_cell_layout_add_attribute(GTK_CELL_LAYOUT(list), cell, "text", column);
    }
    g_object_set_data(G_OBJECT(list), kOwnerDrawnKey, GINT_TO_POINTER(1));
    return list;
}

bool IsOwnerDrawnList(GtkWidget* widget) { return g_object_get_data(G_OBJECT(widget), kOwnerDrawnKey) != nullptr; }

void FillOwnerDrawnList(GtkWidget* list, const UiWindow& window)
{
    GtkListStore* store = GTK_LIST_STORE(gtk_combo_box_get_model(GTK_COMBO_BOX(list)));
    gtk_list_store_clear(store);
    const LONG width = window.rect.right - window.rect.left;
    const RECT entry{0, 0, std::max<LONG>(1, width - kFieldBorder - kDropButton), kComboFieldHeight - 2 * kFieldBorder};
    Drawn first;
    for (size_t i = 0; i < window.items.size(); ++i) {
        const Drawn drawn = DrawnEntry(window, static_cast<int>(i), entry);
        GtkTreeIter row;
        gtk_list_store_append(store, &row);
        for (size_t column = 0; column < drawn.texts.size(); ++column)
            gtk_list_store_set(store, &row, static_cast<gint>(column), drawn.texts[column].c_str(), -1);
        if (i == 0)
            first = drawn;
    }
    // The owner starts its columns at the same places in every entry.
    PlaceColumns(list, first);
}

std::u16string OwnerDrawnListText(GtkWidget* list)
{
    GtkTreeIter row;
    if (!gtk_combo_box_get_active_iter(GTK_COMBO_BOX(list), &row))
        return {};
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(list));
    std::u16string text;
    for (int column = 0; column < kColumns; ++column) {
        gchar* part = nullptr;
        gtk_tree_model_get(model, &row, column, &part, -1);
        if (!part)
            break;
        if (column > 0)
            text += u'\t';
        text += Utf8ToUtf16(part);
        g_free(part);
    }
    return text;
}

} // namespace plat::ui::gtk
