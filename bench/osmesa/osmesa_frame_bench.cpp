// The frame benchmark's peer: the same scene (framescene.h) drawn by Mesa
// through OSMesa with legacy fixed-function OpenGL and the same states —
// one directional light with a local viewer and a separate specular colour,
// the texture modulated by the lit colour, linear filtering without mips,
// SRC_ALPHA / ONE_MINUS_SRC_ALPHA blending, depth test LEQUAL without depth
// writes into a 16-bit depth buffer, no culling — then glFinish and a
// read-back of the frame. Same arguments and figures as wbx_bench_d3d9_frame;
// the thread count is llvmpipe's LP_NUM_THREADS (0: everything on the
// calling thread). Exit status 0 done, 1 no context or model, 2 bad arguments.

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/osmesa.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "benchargs.h"
#include "framescene.h"

namespace wbx::testing {
namespace {

void Color(GLenum light, GLenum which, const D3DCOLORVALUE& c) {
    const GLfloat v[4] = {c.r, c.g, c.b, c.a};
    glLightfv(light, which, v);
}

void MaterialColor(GLenum which, const D3DCOLORVALUE& c) {
    const GLfloat v[4] = {c.r, c.g, c.b, c.a};
    glMaterialfv(GL_FRONT_AND_BACK, which, v);
}

// Sets up every state of the frame and uploads the mesh and texture once.
void SetUpScene(const FigureScene& scene) {
    const PipelineState& s = scene.State;
    // Direct3D's row-vector matrices read column-major are OpenGL's
    // column-vector ones; its depth range [0, 1] becomes [-1, 1] by z' = 2z - w.
    const GLfloat depthFix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 0, 0, 0, -1, 1};
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(depthFix);
    glMultMatrixf(&s.Projection.m[0][0]);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(&s.View.m[0][0]);
    // The light is given in world space, so it is placed under the view matrix alone.
    const D3DLIGHT9& l = s.ActiveLights[0];
    const GLfloat towardLight[4] = {-l.Direction.x, -l.Direction.y, -l.Direction.z, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, towardLight);
    Color(GL_LIGHT0, GL_DIFFUSE, l.Diffuse);
    Color(GL_LIGHT0, GL_SPECULAR, l.Specular);
    Color(GL_LIGHT0, GL_AMBIENT, l.Ambient);
    glMultMatrixf(&s.World.m[0][0]);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const GLfloat noAmbient[4] = {0, 0, 0, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, noAmbient);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    MaterialColor(GL_DIFFUSE, s.Material.Diffuse);
    MaterialColor(GL_AMBIENT, s.Material.Ambient);
    MaterialColor(GL_SPECULAR, s.Material.Specular);
    MaterialColor(GL_EMISSION, s.Material.Emissive);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, s.Material.Power);
    glShadeModel(GL_SMOOTH);
    glDisable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, scene.Texture.Pitch / 2);  // rows may be padded
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB5_A1, scene.Texture.Width, scene.Texture.Height, 0, GL_BGRA,
                 GL_UNSIGNED_SHORT_1_5_5_5_REV, scene.Texture.Bits.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_TEXTURE_2D);

    GLuint buffers[2] = {};
    glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(scene.Vertices.size() * sizeof(MeshVertex)),
                 scene.Vertices.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(scene.Indices.size() * sizeof(uint16_t)),
                 scene.Indices.data(), GL_STATIC_DRAW);
    const GLsizei stride = sizeof(MeshVertex);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, reinterpret_cast<const void*>(0));
    glNormalPointer(GL_FLOAT, stride, reinterpret_cast<const void*>(12));
    glTexCoordPointer(2, GL_FLOAT, stride, reinterpret_cast<const void*>(24));
    glClearColor(0x88 / 255.0f, 0x88 / 255.0f, 0x88 / 255.0f, 1.0f);
    glClearDepth(1.0);
}

int Run(const FrameBenchArgs& args) {
    const FigureScene scene = MakeFrameScene(args.Model, args.Width, args.Height, args.Yaw);
    std::printf("llvmpipe frame %dx%d, %zu triangles, %d frames\n", args.Width, args.Height,
                scene.Indices.size() / 3, args.Frames);
    for (const int threads : args.Threads) {
        // llvmpipe reads its thread count when a screen is made, i.e. with each context.
        setenv("LP_NUM_THREADS", std::to_string(threads).c_str(), 1);
        setenv("GALLIUM_DRIVER", "llvmpipe", 0);
        OSMesaContext context = OSMesaCreateContextExt(OSMESA_BGRA, 16, 0, 0, nullptr);
        if (context == nullptr) {
            std::fprintf(stderr, "no OSMesa context\n");
            return 1;
        }
        std::vector<uint8_t> target(static_cast<size_t>(args.Width) * args.Height * 4);
        std::vector<uint8_t> window(target.size());
        if (!OSMesaMakeCurrent(context, target.data(), GL_UNSIGNED_BYTE, args.Width, args.Height)) {
            std::fprintf(stderr, "cannot bind the OSMesa context\n");
            OSMesaDestroyContext(context);
            return 1;
        }
        glViewport(0, 0, args.Width, args.Height);
        SetUpScene(scene);
        const GLsizei indexCount = static_cast<GLsizei>(scene.Indices.size());
        TimeFrames(threads, args.Warmup, args.Frames, args.Pause, [&] {
            // OpenGL's depth mask also masks the clear; Direct3D's Clear ignores ZWRITEENABLE.
            glDepthMask(GL_TRUE);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glDepthMask(GL_FALSE);
            glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_SHORT, nullptr);
            glFinish();
            glReadPixels(0, 0, args.Width, args.Height, GL_BGRA, GL_UNSIGNED_BYTE, window.data());
        });
        if (!args.Ppm.empty() && threads == args.Threads.back())
            WritePpm(args.Ppm, args.Width, args.Height, window, true);
        OSMesaDestroyContext(context);
    }
    return 0;
}

}  // namespace
}  // namespace wbx::testing

int main(int argc, char** argv) { return wbx::testing::FrameBenchMain(argc, argv, false, wbx::testing::Run); }
