// Opening a source file, version detection, page reads and field reads.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>

#include "reader/jet_file.h"
#include "reader/table_def.h"
#include "support/jet_page_builder.h"

namespace tessaly::reader {
namespace {

using test::JetFileBuilder;
using test::ScratchDir;

std::vector<std::uint8_t> raw_file(std::size_t size, std::uint32_t version) {
    std::vector<std::uint8_t> b(size, 0);
    for (int i = 0; i < 4; ++i)
        b[0x14 + i] = static_cast<std::uint8_t>(version >> (8 * i));
    return b;
}

void write_bytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& b) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

struct VersionCase {
    const char* label;
    std::uint32_t header_version;
    int signature_page;  // in 2048-byte pages; -1 for none
    bool jet4;
};

class VersionDetection : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionDetection, ChoosesFormat) {
    const VersionCase& c = GetParam();
    auto bytes = raw_file(6 * 2048, c.header_version);
    if (c.signature_page >= 0) {
        bytes[c.signature_page * 2048 + 2] = 0x56;
        bytes[c.signature_page * 2048 + 3] = 0x43;
    }
    recovery::RecoveryState state;
    auto file = jet_open_bytes(bytes, state);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->is_jet4(), c.jet4);
    EXPECT_EQ(file->format, c.jet4 ? &jet4_format : &jet3_format);
    EXPECT_EQ(file->current_page, 0);
    if (c.header_version <= 1) {
        EXPECT_EQ(file->cursor, 4u);
    }
}

INSTANTIATE_TEST_SUITE_P(Headers, VersionDetection,
                         ::testing::Values(VersionCase{"jet4", 1, -1, true},
                                           VersionCase{"jet3", 0, -1, false},
                                           VersionCase{"unknown_sig_page2", 2, 2, false},
                                           VersionCase{"unknown_sig_page4", 2, 4, false},
                                           VersionCase{"unknown_no_sig", 2, -1, true},
                                           VersionCase{"all_ones_no_sig", 0xFFFFFFFF, -1, true}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(JetOpen, RefusesWhatIsNoDatabase) {
    ScratchDir dir;
    recovery::RecoveryState state;
    OpenError why = OpenError::None;

    write_bytes(dir.file("short.mdb"), raw_file(1000, 1));
    EXPECT_FALSE(jet_open(dir.file("short.mdb"), state, &why));
    EXPECT_EQ(why, OpenError::TooShort);

    EXPECT_FALSE(jet_open(dir.file("absent.mdb"), state, &why));
    EXPECT_EQ(why, OpenError::NotFound);

    EXPECT_FALSE(jet_open(dir.path(), state, &why));
    EXPECT_EQ(why, OpenError::CannotOpen);
}

TEST(JetOpen, ReadOnlySourceOpensAndIsLeftExactlyAsItWas) {
    ScratchDir dir;
    const auto path = dir.file("source.mdb");
    const auto bytes = test::sample_database(true);
    write_bytes(path, bytes);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    const timespec old_times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old_times, 0), 0);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);

    recovery::RecoveryState state;
    state.close_source_on_release = true;
    auto file = jet_open(path, state);
    ASSERT_TRUE(file);
    for (std::int64_t p = 0; p < 12; ++p)
        load_page(*file, p);
    jet_close(*file, state);
    EXPECT_FALSE(file->is_open());

    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_atim.tv_sec, before.st_atim.tv_sec);
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> now((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(now, bytes);
}

TEST(JetOpen, ClosesOnlyTheSourcesItLeftOpen) {
    ScratchDir dir;
    write_bytes(dir.file("a.mdb"), test::sample_database(true));
    write_bytes(dir.file("b.mdb"), test::sample_database(false));
    write_bytes(dir.file("other.txt"), {'x', 'y'});
    std::FILE* unrelated = std::fopen(dir.file("other.txt").c_str(), "rb");
    ASSERT_TRUE(unrelated);

    recovery::RecoveryState state;  // close_source_on_release = false
    auto a = jet_open(dir.file("a.mdb"), state);
    ASSERT_TRUE(a);
    jet_close(*a, state);
    EXPECT_TRUE(a->is_open()) << "released without the flag: stays open until the next open";
    auto b = jet_open(dir.file("b.mdb"), state);
    ASSERT_TRUE(b);
    EXPECT_FALSE(a->is_open());
    EXPECT_TRUE(b->is_open());
    EXPECT_EQ(std::fgetc(unrelated), 'x') << "streams the reader did not open stay usable";
    std::fclose(unrelated);

    // Releasing a table definition closes the source only with the flag.
    CatalogEntry entry{b, "Catalog", 1, 2};
    auto table = read_table_def(entry);
    ASSERT_TRUE(table);
    free_table_def(std::move(table), state);
    EXPECT_TRUE(b->is_open());
    table = read_table_def(entry);
    ASSERT_TRUE(table);
    state.close_source_on_release = true;
    free_table_def(std::move(table), state);
    EXPECT_FALSE(b->is_open());
    PageBuffer buffer{};
    EXPECT_EQ(read_page(*b, buffer, 0), 0) << "a closed source reads nothing";
}

TEST(JetOpen, TakesTheCodePageFromTheMaskedHeader) {
    JetFileBuilder b(false);
    b.set_code_page(1251);
    recovery::RecoveryState state;
    auto file = jet_open_bytes(b.bytes(), state);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->code_page, 1251);
    std::string text;
    const std::uint8_t cyrillic_a = 0xC0;
    file->decode_8bit_text(ByteView(&cyrillic_a, 1), text);
    EXPECT_EQ(text, "\xD0\x90");
}

class PageReads : public ::testing::Test {
  protected:
    void SetUp() override {
        JetFileBuilder b(true, 8);
        for (int p = 1; p < 8; ++p)
            b.put_u8(p, 100, static_cast<std::uint8_t>(p));
        bytes = b.bytes();
        bytes.resize(bytes.size() + 1000, 0xAB);  // a partial ninth page
        file = jet_open_bytes(bytes, state);
        ASSERT_TRUE(file);
    }
    recovery::RecoveryState state;
    std::vector<std::uint8_t> bytes;
    std::shared_ptr<JetFile> file;
};

TEST_F(PageReads, LoadPageCachesEveryPageButPageZero) {
    const auto reads = file->page_reads;
    load_page(*file, 7);
    load_page(*file, 7);
    EXPECT_EQ(file->page_reads, reads + 1);
    EXPECT_EQ(file->page[100], 7);
    load_page(*file, 0);
    load_page(*file, 0);
    EXPECT_EQ(file->page_reads, reads + 3);
    EXPECT_EQ(file->current_page, 0);
    EXPECT_EQ(file->cursor, 0u);
}

TEST_F(PageReads, PagesAtOrPastTheEndReadNothing) {
    PageBuffer buffer;
    buffer.fill(0x11);
    EXPECT_EQ(read_page(*file, buffer, 9), 0) << "starts exactly at the end";
    EXPECT_EQ(buffer[0], 0x11);
    EXPECT_EQ(read_page(*file, buffer, -1), 0);
    EXPECT_EQ(read_page(*file, buffer, std::int64_t{1} << 62), 0);
    EXPECT_EQ(buffer[0], 0x11);
    EXPECT_EQ(read_page(*file, buffer, 8), 0) << "partial page";
    EXPECT_EQ(buffer[999], 0xAB);
    EXPECT_EQ(buffer[1000], 0x11);
    EXPECT_EQ(read_page(*file, buffer, 3), 4096);
    EXPECT_EQ(buffer[100], 3);
}

TEST_F(PageReads, FieldReadsStayInsideThePage) {
    load_page(*file, 1);
    file->page[4092] = 0xFF;
    file->page[4093] = 0xFF;
    file->page[4094] = 0xFF;
    file->page[4095] = 0xFF;
    struct Case {
        std::int32_t (*read)(JetFile&, std::int64_t);
        std::int64_t offset;
        std::int32_t expected;
        std::uint32_t cursor_growth;
    };
    const Case cases[] = {
        {get_u16, 4094, 0xFFFF, 2},   {get_u16, 4095, -1, 0}, {get_u16, -1, -1, 0},
        {get_u24, 4093, 0xFFFFFF, 3}, {get_u24, 4094, -1, 0}, {get_u32, 4092, -1, 4},
        {get_u32, 4093, -1, 0},       {get_u8, 100, 1, 1},    {get_u8, 4096, -1, 0},
    };
    for (const Case& c : cases) {
        const auto cursor = file->cursor;
        EXPECT_EQ(c.read(*file, c.offset), c.expected) << c.offset;
        EXPECT_EQ(file->cursor, cursor + c.cursor_growth) << c.offset;
    }
    const auto cursor = file->cursor;
    EXPECT_EQ(get_f64(*file, 4089), -1.0);
    EXPECT_EQ(file->cursor, cursor);
}

TEST(BufferReads, NegativeOffsetsWrapAndOutsideBytesReadZero) {
    PageBuffer b{};
    b[4094] = 0x34;
    b[4095] = 0x12;
    EXPECT_EQ(buf_u16(b, -2), 0x1234);
    EXPECT_EQ(buf_u16(b, 4095), 0x0012);
    EXPECT_EQ(buf_u32(b, 5000), 0);
    EXPECT_EQ(buf_u8(b, -1), 0x12);
}

}  // namespace
}  // namespace tessaly::reader
