// Nothing the album run writes goes through a symbolic link: a link standing
// where a page or a copy goes is replaced by the new file, and what the link
// names (a source photograph here) stays as it was.
#include "album_run_fixture.h"

#include "app/albumoutput/generate_command.h"

#include <sstream>

using albumrun_testing::AlbumRunTest;
using testing_support::readBytes;
namespace fs = std::filesystem;

TEST_F(AlbumRunTest, ALinkWhereAPageOrCopyGoesIsReplacedNotWrittenThrough) {
    photo("a.jpg", 64, 48);
    photo("sub/b.jpg", 64, 48);
    const std::string photoBytes = readBytes(root + "a.jpg");
    const auto generate = [&](const char* existing) {
        std::istringstream in;
        std::ostringstream out, err;
        return mirofoto::runGenerateCommand({"--image-folder", root, "--output", output, "--existing", existing}, in,
                                            out, err, false);
    };
    ASSERT_EQ(generate("overwrite"), mirofoto::kGenerateDone);
    struct Case {
        const char* existing;
        const char* place;   // in the output folder
        const char* target;  // in the image folder; a missing one would be created
    } cases[] = {
        {"overwrite", "index.htm", "a.jpg"},
        {"html-only", "index.htm", "a.jpg"},
        {"html-only", "sub/index.htm", "a.jpg"},
        {"html-only", "sub/b.htm", "a.jpg"},
        {"html-only", "sub/b_l.jpg", "new.jpg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.existing) + " " + c.place);
        fs::remove(output + c.place);
        fs::create_symlink(root + c.target, output + c.place);
        EXPECT_EQ(generate(c.existing), mirofoto::kGenerateDone);
        EXPECT_EQ(readBytes(root + "a.jpg"), photoBytes);
        EXPECT_FALSE(fs::exists(root + "new.jpg"));
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(output + c.place)));
    }
}
