// The growable byte buffer behind the collected output and the job header.
#include "bytebuffer.h"
#include "render_support.h"

namespace {

using namespace rendertest;

class ByteBufferTest : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        InitByteBuffer(&buffer_, 16);
    }
    void TearDown() override
    {
        FreeByteBuffer(&buffer_);
        RenderTest::TearDown();
    }
    std::string Text() const { return std::string(reinterpret_cast<const char *>(buffer_.data), buffer_.length); }

    ByteBuffer buffer_;
};

TEST_F(ByteBufferTest, FirstAppendTakesTheInitialCapacityThenItDoubles)
{
    EXPECT_EQ(nullptr, buffer_.data);
    ASSERT_TRUE(AppendBytes(&buffer_, "abc", 3));
    EXPECT_EQ(16u, buffer_.capacity);
    ASSERT_TRUE(AppendBytes(&buffer_, std::string(13, 'd').data(), 13));
    EXPECT_EQ(16u, buffer_.capacity);
    ASSERT_TRUE(AppendBytes(&buffer_, "e", 1));
    EXPECT_EQ(32u, buffer_.capacity);
    ASSERT_TRUE(AppendBytes(&buffer_, std::string(100, 'f').data(), 100));
    EXPECT_EQ(128u, buffer_.capacity);
    EXPECT_EQ("abc" + std::string(13, 'd') + "e" + std::string(100, 'f'), Text());
    // Emptied, the memory stays for the next use.
    EmptyByteBuffer(&buffer_);
    EXPECT_EQ(0u, buffer_.length);
    EXPECT_EQ(128u, buffer_.capacity);
}

TEST_F(ByteBufferTest, FailedGrowthLeavesTheBufferAsItWas)
{
    ASSERT_TRUE(AppendBytes(&buffer_, "abc", 3));
    // The heap refuses to resize the block and to give a new one.
    kvp::SystemFailNext(kvp::Fault::Allocation, 2);
    EXPECT_FALSE(AppendBytes(&buffer_, std::string(40, 'x').data(), 40));
    EXPECT_EQ("abc", Text());
    EXPECT_EQ(16u, buffer_.capacity);
    // A need beyond 4 GB is refused before anything is asked of the heap.
    buffer_.length = 3;
    EXPECT_FALSE(ReserveBytes(&buffer_, 0xFFFFFFFF));
    EXPECT_EQ("abc", Text());
}

TEST_F(ByteBufferTest, FormattedAppendsOfAnyLength)
{
    ASSERT_TRUE(AppendFormat(&buffer_, "@PJL SET %s=%d\r\n", "COPIES", 2));
    EXPECT_EQ("@PJL SET COPIES=2\r\n", Text());
    // Longer than the 1,024 bytes first reserved.
    std::string longText(3000, 'n');
    ASSERT_TRUE(AppendFormat(&buffer_, "[%s]", longText.c_str()));
    EXPECT_EQ("@PJL SET COPIES=2\r\n[" + longText + "]", Text());
}

TEST_F(ByteBufferTest, TheCollectionBufferStartsAt64Kilobytes)
{
    DocumentInfo *document = CreateDocumentInfo();
    ASSERT_NE(nullptr, document);
    ASSERT_TRUE(AppendBytes(&document->output, "x", 1));
    EXPECT_EQ(65536u, document->output.capacity);
    FreeDocumentInfo(document);
}

}  // namespace
