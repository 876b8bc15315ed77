/* Resource ids shared by the editor's resource script and its code: kept to
   preprocessor definitions, the one form the resource compiler reads. */
#pragma once

#define VARNEL_ICON_RESOURCE 1
