#include "trellan/exfat_root_directory.h"

#include "trellan/byte_order.h"
#include "trellan/exfat_label.h"

namespace trellan {

void write_exfat_root_entries(std::span<std::uint8_t> cluster, const ExfatLayout& layout, std::u16string_view label,
                              std::uint32_t upcase_checksum)
{
    using namespace exfat_entry;

    // An empty label is a label entry with no characters.
    const std::u16string stored_label = exfat_volume_label(label);
    const auto label_entry = cluster.subspan(0, bytes);
    label_entry[entry_type] = type_volume_label;
    label_entry[character_count] = static_cast<std::uint8_t>(stored_label.size());
    for (std::size_t i = 0; i < stored_label.size(); ++i) {
        store_le16(label_entry, volume_label + 2 * i, static_cast<std::uint16_t>(stored_label[i]));
    }

    const auto bitmap_entry = cluster.subspan(bytes, bytes);
    bitmap_entry[entry_type] = type_allocation_bitmap;
    bitmap_entry[bitmap_flags] = 0;
    store_le32(bitmap_entry, first_cluster, layout.bitmap_first_cluster);
    store_le64(bitmap_entry, data_length, layout.bitmap_bytes);

    const auto upcase_entry = cluster.subspan(2 * bytes, bytes);
    upcase_entry[entry_type] = type_upcase_table;
    store_le32(upcase_entry, table_checksum, upcase_checksum);
    store_le32(upcase_entry, first_cluster, layout.upcase_first_cluster);
    store_le64(upcase_entry, data_length, layout.upcase_bytes);
}

}  // namespace trellan
