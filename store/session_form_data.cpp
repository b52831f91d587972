#include "store/session_form_data.h"

#include <glib.h>

#include <functional>
#include <vector>

namespace {

// The layouts the engine has written: version 1 gave each entry an id first.
constexpr char kBody[] = "(sa(uaysxmxmds))";
constexpr char kFrame[] = "(ssssasmayxx(ii)dm(sa(uaysxmxmds))av)";
constexpr char kListV1[] = "(qa(ts(ssssasmayxx(ii)dm(sa(uaysxmxmds))av)u)mu)";
constexpr char kListV2[] = "(qa(s(ssssasmayxx(ii)dm(sa(uaysxmxmds))av)u)mu)";
constexpr gsize kFormFields = 4, kBodyField = 10, kChildFrames = 11;

struct Layout {
  guint16 version;
  const char* type;
  gsize frame_field;  // where an entry holds its frame
};
constexpr Layout kLayouts[] = {{1, kListV1, 2}, {2, kListV2, 1}};

using Children = std::vector<GVariant*>;

Children Split(GVariant* value) {
  Children children;
  for (gsize i = 0; i < g_variant_n_children(value); ++i) {
    children.push_back(g_variant_get_child_value(value, i));
  }
  return children;
}

// Gives up the references `children` holds.
GVariant* Join(Children& children) {
  GVariant* joined = g_variant_new_tuple(children.data(), children.size());
  for (GVariant* child : children) g_variant_unref(child);
  return joined;
}

void Replace(Children& children, gsize at, GVariant* with) {
  g_variant_unref(children[at]);
  children[at] = g_variant_ref_sink(with);
}

GVariant* FrameWithoutFormData(GVariant* frame);

GVariant* ChildFrames(GVariant* frames) {
  GVariantBuilder kept;
  g_variant_builder_init(&kept, G_VARIANT_TYPE("av"));
  for (gsize i = 0; i < g_variant_n_children(frames); ++i) {
    GVariant* boxed = g_variant_get_child_value(frames, i);
    GVariant* frame = g_variant_get_variant(boxed);
    // A child of a layout not known here goes: its own bodies are unknown.
    if (g_variant_is_of_type(frame, G_VARIANT_TYPE(kFrame))) {
      g_variant_builder_add(&kept, "v", FrameWithoutFormData(frame));
    }
    g_variant_unref(frame);
    g_variant_unref(boxed);
  }
  return g_variant_builder_end(&kept);
}

GVariant* FrameWithoutFormData(GVariant* frame) {
  Children fields = Split(frame);
  Replace(fields, kFormFields, g_variant_new_array(G_VARIANT_TYPE_STRING, nullptr, 0));
  Replace(fields, kBodyField, g_variant_new_maybe(G_VARIANT_TYPE(kBody), nullptr));
  Replace(fields, kChildFrames, ChildFrames(fields[kChildFrames]));
  return Join(fields);
}

GVariant* EntryWithoutFormData(GVariant* entry, gsize frame_field) {
  Children fields = Split(entry);
  Replace(fields, frame_field, FrameWithoutFormData(fields[frame_field]));
  return Join(fields);
}

GVariant* ListWithoutFormData(GVariant* list, const Layout& layout) {
  Children fields = Split(list);  // version, entries, current entry
  GVariant* entries = fields[1];
  std::vector<GVariant*> kept;
  for (gsize i = 0; i < g_variant_n_children(entries); ++i) {
    GVariant* entry = g_variant_get_child_value(entries, i);
    kept.push_back(g_variant_ref_sink(EntryWithoutFormData(entry, layout.frame_field)));
    g_variant_unref(entry);
  }
  Replace(fields, 1,
          g_variant_new_array(g_variant_type_element(g_variant_get_type(entries)), kept.data(),
                              kept.size()));
  for (GVariant* entry : kept) g_variant_unref(entry);
  return Join(fields);
}

const Layout* LayoutOf(GBytes* bytes) {
  // The version comes first in every layout.
  GVariant* probe = g_variant_new_from_bytes(G_VARIANT_TYPE(kListV2), bytes, FALSE);
  GVariant* version = g_variant_get_child_value(probe, 0);
  const guint16 number = g_variant_get_uint16(version);
  g_variant_unref(version);
  g_variant_unref(probe);
  for (const Layout& layout : kLayouts) {
    if (layout.version == number) return &layout;
  }
  return nullptr;
}

// Whether the addresses a frame names (where it is, and where it was first
// asked for) may be opened; an empty one names nothing.
bool FrameMayOpen(GVariant* frame, const KeptAddressCheck& may_open) {
  bool allowed = true;
  for (gsize field : {gsize{0}, gsize{1}}) {
    GVariant* uri = g_variant_get_child_value(frame, field);
    const char* text = g_variant_get_string(uri, nullptr);
    allowed = allowed && (*text == '\0' || may_open(text));
    g_variant_unref(uri);
  }
  return allowed;
}

// The frame without the child frames that name an address not to be opened:
// the page then loads those frames as it says.
GVariant* FrameWithOpenableChildren(GVariant* frame, const KeptAddressCheck& may_open) {
  Children fields = Split(frame);
  GVariantBuilder kept;
  g_variant_builder_init(&kept, G_VARIANT_TYPE("av"));
  GVariant* frames = fields[kChildFrames];
  for (gsize i = 0; i < g_variant_n_children(frames); ++i) {
    GVariant* boxed = g_variant_get_child_value(frames, i);
    GVariant* child = g_variant_get_variant(boxed);
    if (g_variant_is_of_type(child, G_VARIANT_TYPE(kFrame)) && FrameMayOpen(child, may_open)) {
      g_variant_builder_add(&kept, "v", FrameWithOpenableChildren(child, may_open));
    }
    g_variant_unref(child);
    g_variant_unref(boxed);
  }
  Replace(fields, kChildFrames, g_variant_builder_end(&kept));
  return Join(fields);
}

// The list without its entries that may not be opened; nullptr when the
// current entry is one of them.
GVariant* ListOfOpenable(GVariant* list, const Layout& layout, const KeptAddressCheck& may_open) {
  Children fields = Split(list);  // version, entries, current entry
  GVariant* entries = fields[1];
  GVariant* current = g_variant_get_maybe(fields[2]);
  const bool has_current = current != nullptr;
  const guint32 was_current = has_current ? g_variant_get_uint32(current) : 0;
  if (current != nullptr) g_variant_unref(current);
  std::vector<GVariant*> kept;
  guint32 now_current = was_current;
  bool current_kept = !has_current;
  for (gsize i = 0; i < g_variant_n_children(entries); ++i) {
    GVariant* entry = g_variant_get_child_value(entries, i);
    GVariant* frame = g_variant_get_child_value(entry, layout.frame_field);
    if (FrameMayOpen(frame, may_open)) {
      Children entry_fields = Split(entry);
      Replace(entry_fields, layout.frame_field, FrameWithOpenableChildren(frame, may_open));
      if (i == was_current) current_kept = true;
      kept.push_back(g_variant_ref_sink(Join(entry_fields)));
    } else if (i < was_current) {
      --now_current;
    }
    g_variant_unref(frame);
    g_variant_unref(entry);
  }
  GVariant* rebuilt = nullptr;
  if (current_kept) {
    Replace(fields, 1,
            g_variant_new_array(g_variant_type_element(g_variant_get_type(entries)), kept.data(),
                                kept.size()));
    if (has_current) {
      Replace(fields, 2,
              g_variant_new_maybe(G_VARIANT_TYPE_UINT32, g_variant_new_uint32(now_current)));
    }
    rebuilt = Join(fields);
  } else {
    for (GVariant* field : fields) g_variant_unref(field);
  }
  for (GVariant* entry : kept) g_variant_unref(entry);
  return rebuilt;
}

// `edit` applied to `state` read in its layout; nothing when the layout is
// unknown or `edit` gives nothing.
std::optional<std::string> Edited(std::string_view state,
                                  const std::function<GVariant*(GVariant*, const Layout&)>& edit) {
  if (state.empty()) return std::string();
  GBytes* bytes = g_bytes_new(state.data(), state.size());
  const Layout* layout = LayoutOf(bytes);
  std::optional<std::string> kept;
  if (layout != nullptr) {
    GVariant* list =
        g_variant_ref_sink(g_variant_new_from_bytes(G_VARIANT_TYPE(layout->type), bytes, FALSE));
    // Bytes that do not fit the layout are not read as if they did.
    GVariant* edited = g_variant_is_normal_form(list) ? edit(list, *layout) : nullptr;
    if (edited != nullptr) {
      g_variant_ref_sink(edited);
      kept.emplace(static_cast<const char*>(g_variant_get_data(edited)),
                   g_variant_get_size(edited));
      g_variant_unref(edited);
    }
    g_variant_unref(list);
  }
  g_bytes_unref(bytes);
  return kept;
}

}  // namespace

std::optional<std::string> StateWithoutFormData(std::string_view state) {
  return Edited(state, ListWithoutFormData);
}

std::optional<std::string> StateOfOpenable(std::string_view state,
                                           const KeptAddressCheck& may_open) {
  return Edited(state, [&](GVariant* list, const Layout& layout) {
    return ListOfOpenable(list, layout, may_open);
  });
}
