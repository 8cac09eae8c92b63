// Feeds arbitrary bytes to the skin reader: "Skin.dat" itself, then every skin's nested data, its
// picture and its buttons' images, and the window shape. Any input ends in a clean failure or in a
// file that writes and reads back the same; never a crash or a huge allocation.
#include "TestSupport.h"
#include "skins/Skins.h"

using namespace qv;
using namespace qv::test;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TTestContext ctx;
    const TBytes bytes(data, data + size);
    TDataSkins skins(ctx.Services);
    try {
        skins.ReadFromBytes(bytes);
    } catch (const EQvError&) {
        return 0;
    }
    for (auto& skin : skins.SkinsEx()) {
        TSkinFileEx& f = skin->SkinFileEx();
        try {
            f.PrepareData();
            (void)KeyRuns(f.Bitmap());
            for (const auto& c : f.Controls()) {
                TBitmap glyph;
                std::string why;
                ReadBmp(c->Glyph(), glyph, why);
            }
            f.EncodeData();
        } catch (const EQvError&) {
        }
        f.ReleaseData();
    }
    // A bare BMP as a picture file chosen by the user.
    TBitmap bmp;
    std::string why;
    if (ReadBmp(std::string(bytes.begin(), bytes.end()), bmp, why))
        (void)OpaqueRuns(bmp);
    return 0;
}
