"""The shared colour palette of Hollowmere's low-poly props.

Every prop that uses the "ColorPicker" material samples one flat cell of the
palette texture: the model scripts put all UVs of a face on the centre of the
cell of its colour, so the texture never bleeds between colours. The texture
script and the Blender scripts both read this table, so a colour added here
exists in both after the next regeneration.
"""

CELL = 16          # pixels per cell edge
GRID = 8           # cells per row and column
SIZE = CELL * GRID  # texture edge in pixels
TEXTURE = "palette/colorpicker.png"  # below GAME_DATA/textures

# name -> sRGB bytes, in cell order (row-major from the top-left cell)
COLOURS = [
    ("grass", (96, 140, 62)), ("grass_light", (128, 168, 76)), ("grass_dark", (66, 104, 48)), ("moss", (88, 112, 58)),
    ("dirt", (122, 92, 62)), ("dirt_light", (150, 118, 82)), ("sand", (196, 176, 132)), ("mud", (86, 66, 48)),
    ("cobble", (138, 130, 118)), ("cobble_light", (166, 158, 144)), ("cobble_dark", (104, 98, 90)), ("stone", (128, 126, 122)),
    ("stone_light", (170, 166, 158)), ("stone_dark", (84, 82, 80)), ("stone_warm", (150, 132, 112)), ("stone_cold", (112, 120, 130)),
    ("rock", (118, 110, 100)), ("rock_dark", (74, 70, 66)), ("cliff", (134, 118, 98)), ("cliff_dark", (98, 86, 74)),
    ("wood", (128, 86, 50)), ("wood_light", (166, 122, 76)), ("wood_dark", (84, 56, 34)), ("bark", (92, 66, 44)),
    ("leaf", (70, 126, 58)), ("leaf_light", (104, 156, 66)), ("leaf_dark", (44, 92, 50)), ("pine", (38, 84, 62)),
    ("pine_dark", (28, 64, 50)), ("autumn", (196, 122, 46)), ("autumn_red", (170, 70, 40)), ("flower", (214, 196, 80)),
    ("roof_red", (152, 58, 44)), ("roof_dark", (104, 44, 38)), ("roof_slate", (70, 80, 96)), ("banner_red", (176, 38, 38)),
    ("banner_blue", (44, 78, 156)), ("gold", (214, 170, 60)), ("iron", (92, 96, 102)), ("iron_dark", (48, 50, 56)),
    ("rope", (184, 160, 110)), ("cloth", (214, 202, 176)), ("bone", (226, 218, 196)), ("black", (22, 22, 26)),
    ("golem", (120, 112, 104)), ("golem_light", (152, 144, 132)), ("golem_dark", (80, 74, 70)), ("golem_moss", (96, 110, 70)),
    ("basalt", (64, 62, 66)), ("basalt_light", (92, 90, 96)), ("ember", (226, 110, 40)), ("crystal", (90, 190, 230)),
    ("water", (58, 110, 150)), ("water_light", (92, 150, 180)), ("snow", (236, 240, 244)), ("white", (244, 244, 240)),
    ("ring", (228, 200, 120)), ("ring_dark", (170, 140, 70)), ("purple", (110, 70, 140)), ("red", (200, 40, 40)),
    ("sign_paint", (236, 224, 190)), ("sign_dark", (60, 40, 26)), ("lamp", (255, 214, 140)), ("shadow", (40, 44, 40)),
]

INDEX = {name: i for i, (name, _) in enumerate(COLOURS)}
assert len(COLOURS) <= GRID * GRID


def uv(name):
    """Centre of the cell of a colour, in UV space with v = 0 at the image's bottom row."""
    i = INDEX[name]
    col, row = i % GRID, i // GRID
    return ((col + 0.5) / GRID, 1.0 - (row + 0.5) / GRID)


def linear(name):
    """The colour as linear floats, for Blender's material previews."""
    def lin(c):
        c /= 255.0
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = COLOURS[INDEX[name]][1]
    return (lin(r), lin(g), lin(b))
