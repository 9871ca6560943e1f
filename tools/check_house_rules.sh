#!/usr/bin/env bash
# Checks the layout rules of the code base, so that nobody has to remember them:
#   - each third-party library is included only in its home subsystem (OpenGL in src/render and,
#     for the context, src/app/Window.cpp; GLFW in src/app; assimp in src/import; Bullet in
#     src/physics; OpenAL and libsndfile in src/audio; FreeType in src/ui; stb in src/render and
#     src/app);
#   - OpenGL calls appear only in src/render (and the context set-up in src/app/Window.cpp), GLFW
#     calls only in src/app;
#   - no header outside src/render brings in the OpenGL headers, not even through headers of ours
#     (a render header that other folders include stays free of them), and no source file outside
#     src/render (but src/app/Window.cpp) reaches them through any chain of includes;
#   - the engine never includes the game (src/game); only the game, main.cpp and the tools may.
# Prints every breach as file:line and exits with status 1 when there is one.
set -uo pipefail
cd "$(dirname "$0")/.."

breaches=0

# check DESCRIPTION REGEX ALLOWED: ALLOWED is an extended regular expression over file paths.
check() {
  local description=$1 pattern=$2 allowed=$3 found
  found=$(grep -rnE --include='*.cpp' --include='*.h' "$pattern" src | grep -vE "^($allowed)" || true)
  if [[ -n $found ]]; then
    echo "house rule broken: $description"
    echo "$found" | sed 's/^/  /'
    breaches=$((breaches + 1))
  fi
}

include() { echo "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]($1)"; }

check "OpenGL headers outside src/render" "$(include 'GL/')" 'src/render/|src/app/Window\.cpp:'
check "GLFW headers outside src/app" "$(include 'GLFW/')" 'src/app/'
check "assimp outside src/import" "$(include 'assimp/')" 'src/import/'
check "Bullet outside src/physics" "$(include 'bt[A-Z]|BulletCollision/|BulletDynamics/|LinearMath/|bullet/')" 'src/physics/'
check "OpenAL or libsndfile outside src/audio" "$(include 'AL/|sndfile')" 'src/audio/'
check "FreeType outside src/ui" "$(include 'ft2build\.h|freetype')" 'src/ui/'
check "stb outside src/render and src/app" "$(include 'stb/')" 'src/render/|src/app/|src/tools/'
check "OpenGL calls outside src/render" '(^|[^A-Za-z0-9_.>:])(gl[A-Z][A-Za-z0-9]*|glew[A-Z][A-Za-z]*)[[:space:]]*\(' \
  'src/render/|src/app/Window\.cpp:'
check "OpenGL names outside src/render" '\b(GL_[A-Z0-9_]+|GLuint|GLint|GLenum|GLsizei|GLfloat)\b' \
  'src/render/|src/app/Window\.cpp:'
check "GLFW calls or names outside src/app" '\b(glfw[A-Z][A-Za-z]*|GLFW_[A-Z0-9_]+|GLFWwindow)\b' 'src/app/'

# Headers (under src, by their include path) that bring in the OpenGL headers directly or through
# other headers of ours: grown from the direct includers until nothing is added.
gl_headers() {
  local found grown pattern
  found=$(grep -rlE --include='*.h' "$(include 'GL/')" src | sed 's|^src/||' | sort -u)
  while true; do
    pattern=$(echo "$found" | sed 's/[.]/\\./g' | paste -sd'|')
    grown=$( (echo "$found"; grep -rlE --include='*.h' "$(include "($pattern)[\">]")" src | sed 's|^src/||') | sort -u)
    [[ $grown == "$found" ]] && break
    found=$grown
  done
  echo "$found"
}
headers=$(gl_headers)
found=$(echo "$headers" | grep -v '^render/' | sed 's|^|src/|' || true)
if [[ -n $found ]]; then
  echo "house rule broken: headers outside src/render that bring in OpenGL"
  echo "$found" | sed 's/^/  /'
  breaches=$((breaches + 1))
fi

# Source files that reach the OpenGL headers: those including them, or a header of ours that
# brings them in. Each breach is shown at the include that starts the chain.
reaching='GL/'
if [[ -n $headers ]]; then
  reaching+="|($(echo "$headers" | sed 's/[.]/\\./g' | paste -sd'|'))[\">]"
fi
found=$(grep -rnE --include='*.cpp' "$(include "$reaching")" src | grep -vE '^(src/render/|src/app/Window\.cpp:)' || true)
if [[ -n $found ]]; then
  echo "house rule broken: source files outside src/render that reach OpenGL through their includes"
  echo "$found" | sed 's/^/  /'
  breaches=$((breaches + 1))
fi

check "the engine includes the game" "$(include 'game/')" 'src/game/|src/main\.cpp:|src/tools/'

if ((breaches > 0)); then
  echo "$breaches house rule(s) broken"
  exit 1
fi
echo "house rules hold"
