// The process-wide settings record.
#include "engine/GenerationSettings.h"

CGenerationSettings theSettings;
