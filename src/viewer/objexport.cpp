#include "viewer/objexport.h"

#include <cstdio>

#include "base/exception.h"
#include "viewer/figuregeometry.h"
#include "viewer/gltfexport.h"

namespace wbx {

namespace {

// Shortest text that reads back as the same single.
std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

void AppendLine(std::string& out, const char* key, std::initializer_list<double> values) {
    out += key;
    for (const double v : values) {
        out += ' ';
        out += Number(v);
    }
    out += '\n';
}

}  // namespace

TObjFiles BuildObj(const TPdtRec& model, const std::string& baseName, const std::string& generator) {
    const TFigureGeometry geometry = SplitFigure(model);
    if (geometry.Front.Empty() && geometry.Back.Empty())
        throw Exception("The model has no triangle that can be exported.");

    TObjFiles files;
    std::string& obj = files.Obj;
    obj += "# " + generator + "\n";
    obj += "# metres, +y up, the figure faces +z\n";
    obj += "mtllib " + baseName + ".mtl\n";
    obj += "o figure\n";
    size_t base = 1;  // OBJ counts vertices from 1, across the whole file
    for (const auto& [name, side] : {std::pair<const char*, const TFigureSide&>{"front", geometry.Front},
                                     std::pair<const char*, const TFigureSide&>{"back", geometry.Back}}) {
        if (side.Empty()) continue;
        for (const auto& p : side.Positions)
            AppendLine(obj, "v", {p[0] * kModelUnitMetres, p[1] * kModelUnitMetres, p[2] * kModelUnitMetres});
        for (const auto& t : side.TexCoords) AppendLine(obj, "vt", {t[0], 1.0 - double(t[1])});
        for (const auto& n : side.Normals) AppendLine(obj, "vn", {n[0], n[1], n[2]});
        obj += std::string("g ") + name + "\nusemtl " + name + "\n";
        for (size_t i = 0; i + 2 < side.Indices.size(); i += 3) {
            obj += 'f';
            for (size_t c = 0; c < 3; ++c) {
                const std::string index = std::to_string(base + side.Indices[i + c]);
                obj += ' ' + index + '/' + index + '/' + index;
            }
            obj += '\n';
        }
        base += side.Positions.size();
    }

    std::string& mtl = files.Mtl;
    mtl += "# " + generator + "\n";
    for (const char* name : {"front", "back"}) {
        const std::string texture = baseName + "_" + name + ".png";
        mtl += std::string("newmtl ") + name + "\n";
        mtl += "Ka 1 1 1\nKd 1 1 1\nKs 0 0 0\nd 1\nillum 1\n";
        mtl += "map_Kd " + texture + "\nmap_d " + texture + "\n";
    }
    return files;
}

}  // namespace wbx
