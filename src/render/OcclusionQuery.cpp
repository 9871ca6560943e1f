#include "render/OcclusionQuery.h"

#include <GL/glew.h>

namespace hm {

void OcclusionQuery::begin() {
    if (!handle_) {
        GLuint name = 0;
        glGenQueries(1, &name);
        handle_.reset(name);
    }
    glBeginQuery(GL_SAMPLES_PASSED, handle_.get());
}

void OcclusionQuery::end() {
    glEndQuery(GL_SAMPLES_PASSED);
}

bool OcclusionQuery::resultReady() const {
    if (!handle_)
        return false;
    GLuint available = GL_FALSE;
    glGetQueryObjectuiv(handle_.get(), GL_QUERY_RESULT_AVAILABLE, &available);
    return available == GL_TRUE;
}

std::uint32_t OcclusionQuery::samples() const {
    if (!handle_)
        return 0;
    GLuint samples = 0;
    glGetQueryObjectuiv(handle_.get(), GL_QUERY_RESULT, &samples);
    return samples;
}

} // namespace hm
