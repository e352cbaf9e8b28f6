// Count of the layer's live COM objects (Direct3D 9 and D3DX), so that a
// run can end by checking that everything it made was released.
#pragma once

namespace ostrevin {

void ObjectCreated();
void ObjectDestroyed();
int LiveObjects();

// Prints the count to standard error at process exit when it is not zero.
// Registered once, by the first Direct3DCreate9.
void ReportLiveObjectsAtExit();

}  // namespace ostrevin
