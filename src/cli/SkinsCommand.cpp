#include "cli/SkinsCommand.h"

#include "app/DataModule.h"
#include "core/Strings.h"

#include <sstream>

namespace qv {

namespace {

std::string Describe(TSkinItemEx& skin)
{
    TSkinFileEx& f = skin.SkinFileEx();
    std::ostringstream s;
    if (f.Kind() == skForm) {
        char colour[8];
        const auto c = static_cast<std::uint32_t>(f.ColorForm());
        std::snprintf(colour, sizeof colour, "#%02X%02X%02X", c & 255, (c >> 8) & 255, (c >> 16) & 255);
        s << "classica " << f.WidthForm() << "x" << f.HeightForm() << " " << colour;
        return s.str();
    }
    try {
        const TBitmap& b = f.Bitmap();
        s << "bitmap " << b.Width << "x" << b.Height << " " << b.BitCount << " bit"
          << (f.Transparent() ? " trasparente" : "");
    } catch (const std::exception& e) {
        s << "bitmap illeggibile (" << ReplaceAll(e.what(), "\r", " ") << ")";
    }
    f.ReleaseData();
    return s.str();
}

} // namespace

int SkinsCommand(TCliContext& ctx, std::vector<std::string> args, std::ostream& out)
{
    if (args.size() < 2)
        return 2;
    const std::string& what = args[1];
    if (what == "list" && args.size() == 2) {
        auto data = OpenData(ctx, TAccess::Read);
        const TProfileItem* profile = data->Settings.Profiles().Count() ? &data->Settings.Profiles()[0] : nullptr;
        for (const auto& skin : data->Skins.SkinsEx()) {
            const bool chosen = profile && SameText(profile->SkinName(), skin->Nome());
            out << (chosen ? "* " : "  ") << skin->Nome() << "\t" << Describe(*skin) << "\t" << skin->Descrizione()
                << "\n";
        }
        return 0;
    }
    if (what == "export" && args.size() == 3) {
        auto data = OpenData(ctx, TAccess::Read);
        ctx.Files.Real().WriteAtomic(args[2], data->Skins.WriteToBytes());
        out << "Esportate " << data->Skins.SkinsEx().Count() << " skin in " << args[2] << "\n";
        return 0;
    }
    if (what == "import" && args.size() == 3) {
        auto data = OpenData(ctx, TAccess::Write);
        const std::size_t before = data->Skins.SkinsEx().Count();
        data->Skins.ImportSkins(args[2]);
        data->Skins.Save();
        out << "Importate " << data->Skins.SkinsEx().Count() - before << " skin da " << args[2] << "\n";
        return 0;
    }
    return 2;
}

} // namespace qv
