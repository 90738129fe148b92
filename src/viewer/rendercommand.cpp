#include "viewer/rendercommand.h"

#include <algorithm>
#include <filesystem>

#include "base/format.h"
#include "base/path.h"
#include "viewer/atomicfile.h"
#include "viewer/batchsetup.h"
#include "viewer/datafolder.h"
#include "viewer/exportmodule.h"
#include "viewer/gltfexport.h"
#include "viewer/layer.h"
#include "viewer/objexport.h"
#include "viewer/offscreenrenderer.h"
#include "viewer/pngwriter.h"
#include "viewer/textureexport.h"

namespace wbx {

namespace {

std::string Extension(const std::string& fileName) {
    std::string extension = std::filesystem::path(fileName).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// The files of an OBJ export: NAME.obj, NAME.mtl, NAME_front.png, NAME_back.png.
struct TObjNames {
    std::string Folder;  // with a trailing separator, or ""
    std::string Base;    // NAME
};

TObjNames ObjNames(const std::string& fileName) {
    const std::filesystem::path path(fileName);
    TObjNames names;
    names.Folder = path.parent_path().empty() ? std::string()
                                              : IncludeTrailingPathDelimiter(path.parent_path().string());
    names.Base = Extension(fileName) == ".obj" ? path.stem().string() : path.filename().string();
    return names;
}

// What can be told from the arguments and the disk before drawing: the
// outputs' kinds and folders.
bool CheckOutputs(const TRenderArguments& r, std::string& error) {
    if (r.Output) {
        const std::string extension = Extension(*r.Output);
        if (r.Turntable > 0 && extension != ".webp" && extension != ".gif") {
            error = Format("a turntable is written as .webp or .gif, not \"%s\".", *r.Output);
            return false;
        }
        if (r.Turntable == 0 && extension != ".png") {
            error = Format("a picture is written as .png, not \"%s\" (--turntable N makes an animation).",
                           *r.Output);
            return false;
        }
        if (!CanWriteFile(*r.Output, error)) return false;
    }
    if (r.Glb && !CanWriteFile(*r.Glb, error)) return false;
    if (r.Obj && !CanWriteFile(*r.Obj, error)) return false;
    if (r.Textures && !CanWriteFile(*r.Textures + "_front.png", error)) return false;
    return true;
}

TRgbaImage Picture(TOffscreenRenderer& renderer, const TRenderArguments& r, int32_t yaw) {
    TRenderedPicture picture =
        renderer.Render({yaw, r.Pitch, r.Zoom}, r.Width * r.Supersample, r.Height * r.Supersample,
                        r.Transparent ? TBackground::Transparent : TBackground::Grey);
    return r.Supersample > 1 ? DownsampleBox(picture.Image, r.Supersample) : std::move(picture.Image);
}

void WriteOutputs(TOffscreenRenderer& renderer, const TRenderArguments& r) {
    const std::string generator = "wardrobix " + ProgramVersion();
    if (r.Output) {
        if (r.Turntable > 0) {
            std::vector<TRgbaImage> frames;
            frames.reserve(static_cast<size_t>(r.Turntable));
            for (int32_t frame = 0; frame < r.Turntable; ++frame)
                frames.push_back(Picture(renderer, r, TurntableYaw(r.Yaw, frame, r.Turntable)));
            WriteFileAtomically(*r.Output,
                                Extension(*r.Output) == ".gif"
                                    ? ExportFunctions().EncodeAnimatedGif(frames, r.FrameMilliseconds)
                                    : ExportFunctions().EncodeAnimatedWebp(frames, r.FrameMilliseconds));
        } else {
            WriteFileAtomically(*r.Output, EncodePng(Picture(renderer, r, r.Yaw)));
        }
    }
    if (!r.Textures && !r.Glb && !r.Obj) return;
    const TRgbaImage front =
        WidenTexture(renderer.TextureTexels(false), kLayerTextureWidth, kLayerTextureHeight);
    const TRgbaImage back =
        WidenTexture(renderer.TextureTexels(true), kLayerTextureWidth, kLayerTextureHeight);
    if (r.Textures) {
        WriteFileAtomically(*r.Textures + "_front.png", EncodePng(front));
        WriteFileAtomically(*r.Textures + "_back.png", EncodePng(back));
    }
    if (r.Glb)
        WriteFileAtomically(*r.Glb, ExportFunctions().BuildGlb(renderer.Model(), front, back, generator));
    if (r.Obj) {
        const TObjNames names = ObjNames(*r.Obj);
        const TObjFiles files = BuildObj(renderer.Model(), names.Base, generator);
        // The textures first, so that an .obj on disk always finds its pictures.
        WriteFileAtomically(names.Folder + names.Base + "_front.png", EncodePng(front));
        WriteFileAtomically(names.Folder + names.Base + "_back.png", EncodePng(back));
        WriteFileAtomically(names.Folder + names.Base + ".mtl",
                            {reinterpret_cast<const uint8_t*>(files.Mtl.data()), files.Mtl.size()});
        WriteFileAtomically(names.Folder + names.Base + ".obj",
                            {reinterpret_cast<const uint8_t*>(files.Obj.data()), files.Obj.size()});
    }
}

}  // namespace

int32_t TurntableYaw(int32_t yaw, int32_t frame, int32_t frames) {
    const int64_t step = (int64_t{frame} * 4096 + frames / 2) / frames;
    return static_cast<int32_t>((int64_t{yaw} + step) % 4096);
}

int RunRenderCommand(const TCommandLine& commandLine, const TLinePrinter& error) {
    const TRenderArguments& r = commandLine.Render;
    std::string message;
    TBatchOutfit outfit;
    if (!SetUpDataFolder(commandLine.DataFolder, message) || !ResolveOutfit(r.Outfit, outfit, message) ||
        !CheckOutputs(r, message)) {
        error(message);
        return kExitUsage;
    }
    try {
        // The encoders' module before any drawing: without it nothing is
        // drawn or written in vain.
        if ((r.Output && r.Turntable > 0) || r.Glb) ExportFunctions();
        TOffscreenRenderer renderer(r.Width * r.Supersample, r.Height * r.Supersample);
        if (!renderer.LoadModel(outfit.Body)) {
            error(Format("the model file \"%s\" is missing.", ModelFileName(outfit.Body)));
            return kExitMissingModel;
        }
        renderer.ComposeTextures(outfit.Parts);
        WriteOutputs(renderer, r);
    } catch (const std::exception& failure) {
        error(failure.what());
        return kExitStartupError;
    }
    return kExitOk;
}

}  // namespace wbx
