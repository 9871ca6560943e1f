// OpenGL's values for the texture enums of Texture.h. This header brings in OpenGL: only source
// files of src/render include it.
#pragma once

#include "render/Texture.h"

#include <GL/glew.h>

namespace hm::gl {

GLenum filter(TextureFilter filter);
// 0 for an unset wrap mode.
GLenum wrap(TextureWrap wrap);
// The sized internal format; 0 for Auto.
GLenum internalFormat(TextureFormat format);
// Auto for a value outside TextureFormat.
TextureFormat textureFormat(GLenum internalFormat);
GLenum target(TextureTarget target);

} // namespace hm::gl
