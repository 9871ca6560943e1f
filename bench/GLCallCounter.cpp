#include "GLCallCounter.h"

#include <GL/glew.h>
#include <dlfcn.h>

namespace hm::bench {

namespace {

std::uint64_t calls = 0;

template <typename F, F* Slot> struct Trampoline;

template <typename R, typename... A, R(GLAPIENTRY** Slot)(A...)>
struct Trampoline<R(GLAPIENTRY*)(A...), Slot> {
    static inline R(GLAPIENTRY* original)(A...) = nullptr;
    static R GLAPIENTRY call(A... args) {
        ++calls;
        return original(args...);
    }
    static void install() {
        if (*Slot == nullptr || *Slot == &call)
            return;
        original = *Slot;
        *Slot = &call;
    }
};

} // namespace

#define HM_COUNT(name) Trampoline<decltype(__glew##name), &__glew##name>::install()

void installGLCallCounter() {
    HM_COUNT(ActiveTexture);
    HM_COUNT(BeginQuery);
    HM_COUNT(BindBuffer);
    HM_COUNT(BindBufferBase);
    HM_COUNT(BindBufferRange);
    HM_COUNT(BindFramebuffer);
    HM_COUNT(BindVertexArray);
    HM_COUNT(BlendFuncSeparate);
    HM_COUNT(BlitFramebuffer);
    HM_COUNT(BufferData);
    HM_COUNT(BufferSubData);
    HM_COUNT(CompressedTexImage2D);
    HM_COUNT(DrawArraysInstanced);
    HM_COUNT(DrawElementsInstanced);
    HM_COUNT(EnableVertexAttribArray);
    HM_COUNT(EndQuery);
    HM_COUNT(FramebufferTexture2D);
    HM_COUNT(GenBuffers);
    HM_COUNT(GenerateMipmap);
    HM_COUNT(GenFramebuffers);
    HM_COUNT(GenQueries);
    HM_COUNT(GenVertexArrays);
    HM_COUNT(GetQueryObjectuiv);
    HM_COUNT(GetQueryObjectui64v);
    HM_COUNT(MapBufferRange);
    HM_COUNT(Uniform1f);
    HM_COUNT(Uniform1i);
    HM_COUNT(Uniform3f);
    HM_COUNT(Uniform3fv);
    HM_COUNT(Uniform4f);
    HM_COUNT(Uniform4fv);
    HM_COUNT(UniformMatrix4fv);
    HM_COUNT(UnmapBuffer);
    HM_COUNT(UseProgram);
    HM_COUNT(VertexAttribDivisor);
    HM_COUNT(VertexAttribIPointer);
    HM_COUNT(VertexAttribPointer);
}

std::uint64_t glCallCount() {
    return calls;
}

void resetGLCallCount() {
    calls = 0;
}

} // namespace hm::bench

// The OpenGL 1.1 entry points: defined here, they take the place of the driver's for every call
// made from the benchmark's own code and the engine it links.
#define HM_FORWARD(ret, name, params, args)                                                                  \
    extern "C" ret GLAPIENTRY name params {                                                                  \
        ++hm::bench::calls;                                                                                  \
        static auto real = reinterpret_cast<ret(GLAPIENTRY*) params>(dlsym(RTLD_NEXT, #name));               \
        return real args;                                                                                    \
    }

HM_FORWARD(void, glBindTexture, (GLenum target, GLuint texture), (target, texture))
HM_FORWARD(void, glBlendFunc, (GLenum s, GLenum d), (s, d))
HM_FORWARD(void, glClear, (GLbitfield mask), (mask))
HM_FORWARD(void, glClearColor, (GLclampf r, GLclampf g, GLclampf b, GLclampf a), (r, g, b, a))
HM_FORWARD(void, glColorMask, (GLboolean r, GLboolean g, GLboolean b, GLboolean a), (r, g, b, a))
HM_FORWARD(void, glCullFace, (GLenum mode), (mode))
HM_FORWARD(void, glDepthFunc, (GLenum func), (func))
HM_FORWARD(void, glDepthMask, (GLboolean flag), (flag))
HM_FORWARD(void, glDisable, (GLenum cap), (cap))
HM_FORWARD(void, glDrawArrays, (GLenum mode, GLint first, GLsizei count), (mode, first, count))
HM_FORWARD(void, glDrawBuffer, (GLenum mode), (mode))
HM_FORWARD(void, glDrawElements, (GLenum mode, GLsizei count, GLenum type, const void* indices),
           (mode, count, type, indices))
HM_FORWARD(void, glEnable, (GLenum cap), (cap))
HM_FORWARD(void, glPixelStorei, (GLenum name, GLint param), (name, param))
HM_FORWARD(void, glTexImage2D,
           (GLenum target, GLint level, GLint internal, GLsizei w, GLsizei h, GLint border, GLenum format,
            GLenum type, const void* pixels),
           (target, level, internal, w, h, border, format, type, pixels))
HM_FORWARD(void, glTexParameteri, (GLenum target, GLenum name, GLint param), (target, name, param))
HM_FORWARD(void, glTexSubImage2D,
           (GLenum target, GLint level, GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type,
            const void* pixels),
           (target, level, x, y, w, h, format, type, pixels))
HM_FORWARD(void, glViewport, (GLint x, GLint y, GLsizei w, GLsizei h), (x, y, w, h))
