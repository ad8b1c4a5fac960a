// The job information record and its serialized form, which arrives from
// another process with the UI plug-in's private escape.
#include "render_support.h"

namespace {

using namespace rendertest;

class JobInfoTest : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        InitJobInfo(&info_);
    }
    JobInfo info_;
};

#if KV_LINE_A
constexpr DWORD kStringId = 8;  // "PageSize"
constexpr DWORD kShortId = 7;   // pages per sheet
constexpr JobInfoFieldId kPageSize = JobInfoFieldId::PageSize;
#else
constexpr DWORD kStringId = 3;
constexpr DWORD kShortId = 2;
constexpr JobInfoFieldId kPageSize = JobInfoFieldId::PageSize;
#endif

TEST_F(JobInfoTest, FreshRecordReadsZeroAndEmpty)
{
    EXPECT_EQ(0, GetJobInfoLong(&info_, JobInfoFieldId::JobId));
    EXPECT_EQ(0, GetJobInfoShort(&info_, JobInfoFieldId::Flags));
    EXPECT_STREQ("", GetJobInfoString(&info_, kPageSize));
    EXPECT_FALSE(IsJobInfoSet(&info_, kPageSize));
    // Only the head: no field is set.
    EXPECT_EQ(16u, SerializedJobInfoSize(&info_));
}

TEST_F(JobInfoTest, FieldTableHasTheLinesCapacities)
{
    struct Case {
        DWORD id;
        DWORD kind;
        DWORD capacity;
    };
#if KV_LINE_A
    const Case cases[] = {{1, 2, 4},   {2, 4, 261}, {4, 4, 33},  {6, 4, 33},  {7, 1, 2},   {8, 4, 64},
                          {9, 4, 64},  {10, 4, 64}, {11, 1, 2},  {12, 4, 64}, {13, 4, 64}, {14, 4, 64}};
    const DWORD missing[] = {0, 3, 5, 15};
#else
    const Case cases[] = {{1, 2, 4}, {2, 1, 2}, {3, 4, 64}, {4, 4, 64}, {5, 4, 64}, {6, 1, 2}};
    const DWORD missing[] = {0, 7, 12, 13};
#endif
    for (const Case &c : cases) {
        const JobInfoField *row = FindJobInfoField(c.id);
        ASSERT_NE(nullptr, row) << "id " << c.id;
        EXPECT_EQ(c.kind, row->kind) << "id " << c.id;
        EXPECT_EQ(c.capacity, row->capacity) << "id " << c.id;
    }
    for (DWORD id : missing) {
        EXPECT_EQ(nullptr, FindJobInfoField(id)) << "id " << id;
        // Storing an id without a field is ignored, not refused.
        EXPECT_TRUE(SetJobInfoField(&info_, id, "x", 2)) << "id " << id;
    }
}

TEST_F(JobInfoTest, StringMustFitWithItsNul)
{
    std::string fits(63, 'a');
    EXPECT_TRUE(SetJobInfoString(&info_, kPageSize, fits.c_str()));
    EXPECT_EQ(fits, GetJobInfoString(&info_, kPageSize));
    std::string tooLong(64, 'b');
    EXPECT_FALSE(SetJobInfoString(&info_, kPageSize, tooLong.c_str()));
    EXPECT_EQ(fits, GetJobInfoString(&info_, kPageSize));
}

TEST_F(JobInfoTest, SerializedFormListsSetFieldsInIdOrder)
{
    SetJobInfoString(&info_, kPageSize, "A1");
    SetJobInfoLong(&info_, JobInfoFieldId::JobId, 0x01020304);
    SetJobInfoShort(&info_, JobInfoFieldId::Flags, 2);
    BYTE out[256];
    DWORD written = 0;
    ASSERT_TRUE(SerializeJobInfo(&info_, out, sizeof(out), &written));
    SerializedJob expected;
    expected.Entry(1, JOBINFO_LONG, {4, 3, 2, 1});
#if KV_LINE_A
    expected.Entry(8, JOBINFO_STRING, {'A', '1', 0});
    expected.Entry(11, JOBINFO_SHORT, {2, 0});
#else
    expected.Entry(3, JOBINFO_STRING, {'A', '1', 0});
    expected.Entry(6, JOBINFO_SHORT, {2, 0});
#endif
    Bytes want = expected.Build();
    // The magic is stored reversed: the bytes read "IJvK".
    EXPECT_EQ(0, std::memcmp(out, "IJvK", 4));
    ASSERT_EQ(want.size(), written);
    EXPECT_EQ(want, Bytes(out, out + written));
    EXPECT_FALSE(SerializeJobInfo(&info_, out, written - 1, &written));
}

TEST_F(JobInfoTest, SerializedFormReadsBackIntoAFreshRecord)
{
    SetJobInfoString(&info_, kPageSize, "CustomPageSize");
    SetJobInfoShort(&info_, static_cast<JobInfoFieldId>(kShortId), 4);
#if KV_LINE_A
    SetJobInfoString(&info_, JobInfoFieldId::UserName, "user01");
    SetJobInfoString(&info_, JobInfoFieldId::DocumentName, std::string(260, 'd').c_str());
#endif
    BYTE *bytes = nullptr;
    DWORD size = 0;
    ASSERT_TRUE(SerializeJobInfoAlloc(&info_, &bytes, &size));
    JobInfo copy;
    InitJobInfo(&copy);
    EXPECT_TRUE(ReadSerializedJobInfo(&copy, bytes, size));
    MemFree(bytes);
    EXPECT_EQ(0, std::memcmp(&info_, &copy, sizeof(copy)));
}

TEST_F(JobInfoTest, ReaderRefusesOtherMagicOrVersion)
{
    SerializedJob job;
    job.Text(kStringId, "A0");
    struct Case {
        DWORD magic;
        DWORD version;
    } cases[] = {{0x494A764B, 1}, {kJobInfoMagic, 0}, {kJobInfoMagic, 2}};
    for (const Case &c : cases) {
        Bytes bytes = job.Build(c.magic, c.version);
        EXPECT_FALSE(ReadSerializedJobInfo(&info_, bytes.data(), static_cast<DWORD>(bytes.size())))
            << std::hex << c.magic << " " << c.version;
        EXPECT_FALSE(IsJobInfoSet(&info_, kPageSize));
    }
    Bytes head = job.Build();
    EXPECT_FALSE(ReadSerializedJobInfo(&info_, head.data(), 15));
}

TEST_F(JobInfoTest, ReaderSkipsEntriesLongerThanTheirField)
{
    SerializedJob job;
    job.Text(kStringId, std::string(64, 'x'));  // 65 bytes for a 64-byte field
    job.Entry(1, JOBINFO_LONG, {7, 0, 0, 0, 0});  // 5 bytes for a 4-byte field
    job.Entry(kShortId, JOBINFO_SHORT, {9, 0});
    Bytes bytes = job.Build();
    EXPECT_TRUE(ReadSerializedJobInfo(&info_, bytes.data(), static_cast<DWORD>(bytes.size())));
    EXPECT_FALSE(IsJobInfoSet(&info_, kPageSize));
    EXPECT_FALSE(IsJobInfoSet(&info_, JobInfoFieldId::JobId));
    EXPECT_EQ(9, GetJobInfoShort(&info_, static_cast<JobInfoFieldId>(kShortId)));
}

TEST_F(JobInfoTest, ReaderDoesNotCompareKinds)
{
    // Four bytes of a "number" into a string field: stored, and still read
    // back as a terminated string.
    SerializedJob job;
    job.Entry(kStringId, JOBINFO_LONG, {'A', '4', 'x', 'y'});
    Bytes bytes = job.Build();
    EXPECT_TRUE(ReadSerializedJobInfo(&info_, bytes.data(), static_cast<DWORD>(bytes.size())));
    EXPECT_STREQ("A4xy", GetJobInfoString(&info_, kPageSize));
}

TEST_F(JobInfoTest, FullStringWithoutNulStillReadsTerminated)
{
    SerializedJob job;
    job.Entry(kStringId, JOBINFO_STRING, Bytes(64, 'z'));
    Bytes bytes = job.Build();
    EXPECT_TRUE(ReadSerializedJobInfo(&info_, bytes.data(), static_cast<DWORD>(bytes.size())));
    EXPECT_EQ(std::string(64, 'z'), GetJobInfoString(&info_, kPageSize));
}

TEST_F(JobInfoTest, LyingCountsAndSizesReadNothingOutsideTheInput)
{
    // Each input sits in a block of exactly its size, so that reading past
    // it is caught by the address sanitizer.
    SerializedJob two;
    two.Text(kStringId, "A2").Entry(1, JOBINFO_LONG, {5, 0, 0, 0});
    Bytes whole = two.Build();
    struct Case {
        const char *name;
        Bytes bytes;
        bool pageSize;  // the first entry arrives
        bool jobId;     // the second one does
    } cases[] = {
        {"count claims more entries", two.Build(kJobInfoMagic, 1, 1000), true, true},
        {"count claims fewer entries", two.Build(kJobInfoMagic, 1, 1), true, false},
        {"total claims more bytes", two.Build(kJobInfoMagic, 1, -1, 0x7FFFFFFF), true, true},
        {"total claims fewer bytes", two.Build(kJobInfoMagic, 1, -1, 15), true, false},
        {"total claims 4 GB", two.Build(kJobInfoMagic, 1, -1, 0xFFFFFFFF), true, true},
        {"cut inside the second entry's head", Bytes(whole.begin(), whole.end() - 10), true, false},
        {"cut inside the second entry's data", Bytes(whole.begin(), whole.end() - 1), true, false},
        {"cut inside the first entry", Bytes(whole.begin(), whole.begin() + 30), false, false},
    };
    for (const Case &c : cases) {
        JobInfo info;
        InitJobInfo(&info);
        std::unique_ptr<BYTE[]> exact(new BYTE[c.bytes.size()]);
        std::memcpy(exact.get(), c.bytes.data(), c.bytes.size());
        EXPECT_TRUE(ReadSerializedJobInfo(&info, exact.get(), static_cast<DWORD>(c.bytes.size()))) << c.name;
        EXPECT_EQ(c.pageSize, IsJobInfoSet(&info, kPageSize) != 0) << c.name;
        EXPECT_EQ(c.jobId, IsJobInfoSet(&info, JobInfoFieldId::JobId) != 0) << c.name;
    }
}

TEST_F(JobInfoTest, EntryLengthNearFourGigabytesStopsTheReader)
{
    SerializedJob job;
    job.Entry(kShortId, JOBINFO_SHORT, {1, 0});
    Bytes bytes = job.Build();
    // The length field of the one entry now claims 0xFFFFFFF0 bytes.
    bytes[16 + 8] = 0xF0;
    bytes[16 + 9] = bytes[16 + 10] = bytes[16 + 11] = 0xFF;
    EXPECT_TRUE(ReadSerializedJobInfo(&info_, bytes.data(), static_cast<DWORD>(bytes.size())));
    EXPECT_FALSE(IsJobInfoSet(&info_, static_cast<JobInfoFieldId>(kShortId)));
}

#if KV_LINE_B
TEST_F(JobInfoTest, LineBSkipsLineAPagesPerSheet)
{
    SerializedJob job;
    job.Entry(7, JOBINFO_SHORT, {2, 0}).Entry(2, JOBINFO_SHORT, {4, 0});
    Bytes bytes = job.Build();
    EXPECT_TRUE(ReadSerializedJobInfo(&info_, bytes.data(), static_cast<DWORD>(bytes.size())));
    EXPECT_EQ(4, GetJobInfoShort(&info_, JobInfoFieldId::PagesPerSheet));
    // Only the field that exists in line B was stored.
    EXPECT_EQ(16u + 12 + 2, SerializedJobInfoSize(&info_));
}
#endif

TEST_F(JobInfoTest, WideTextIsStoredInTheAnsiCodePageWhenItFits)
{
#if KV_LINE_A
    kvp::SystemSetAnsiCodePage(932);
    // Two double-byte characters: 4 bytes and the NUL.
    EXPECT_TRUE(SetJobInfoWideString(&info_, JobInfoFieldId::PortName, u"\u65e5\u672c"));
    EXPECT_STREQ("\x93\xfa\x96\x7b", GetJobInfoString(&info_, JobInfoFieldId::PortName));
    // 32 characters and the NUL fill a 33-byte field; 33 do not fit.
    EXPECT_TRUE(SetJobInfoWideString(&info_, JobInfoFieldId::PrinterName, std::u16string(32, u'p').c_str()));
    EXPECT_FALSE(SetJobInfoWideString(&info_, JobInfoFieldId::PrinterName, std::u16string(33, u'q').c_str()));
    EXPECT_EQ(std::string(32, 'p'), GetJobInfoString(&info_, JobInfoFieldId::PrinterName));
#else
    EXPECT_TRUE(SetJobInfoWideString(&info_, JobInfoFieldId::PageSize, u"A3"));
    EXPECT_STREQ("A3", GetJobInfoString(&info_, JobInfoFieldId::PageSize));
#endif
}

}  // namespace
