#pragma once

enum class TSides { sNone, sTop, sBottom, sLeft, sRight, sTopLeft, sTopRight, sBottomLeft, sBottomRight };
