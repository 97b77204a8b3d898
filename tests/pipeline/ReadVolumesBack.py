"""Opens a volume the tool wrote with another program's reader, CLIENT: "vtk" for VTK's own
legacy reader, vtkStructuredPointsReader, or "meshio" for meshio's; checks dimensions, scalar
type, spacing, origin and every voxel against what was asked.

Usage: ReadVolumesBack.py SLICE2VOL CLIENT. Needs Debian's python3-vtk9 and python3-meshio.
"""

import subprocess
import sys
import tempfile

import vtk

TOOL, CLIENT = sys.argv[1:3]


def read_with_vtk(path):
    reader = vtk.vtkStructuredPointsReader()
    reader.SetFileName(path)
    reader.Update()
    volume = reader.GetOutput()
    scalars = volume.GetPointData().GetScalars()
    voxels = [int(scalars.GetValue(i)) for i in range(scalars.GetNumberOfTuples())]
    return (volume.GetDimensions(), scalars.GetDataTypeAsString(), volume.GetSpacing(),
            volume.GetOrigin(), voxels)


def read_with_meshio(path):
    """meshio gives the grid's points, x varying fastest, with a value each."""
    import meshio
    import numpy

    mesh = meshio.read(path)
    axes = [numpy.unique(mesh.points[:, i]) for i in range(3)]
    scalars = mesh.point_data["scalars"]
    return (tuple(len(a) for a in axes),
            "unsigned char" if scalars.dtype == numpy.uint8 else str(scalars.dtype),
            tuple(float(a[1] - a[0]) for a in axes), tuple(float(v) for v in mesh.points[0]),
            [int(v) for v in scalars.ravel()])


def bright(x, y):
    """Two grey levels, so that any threshold between them gives the same slice."""
    return (x * y + x) % 3 == 0


with tempfile.TemporaryDirectory() as folder:
    image = vtk.vtkImageData()
    image.SetDimensions(20, 15, 1)
    image.SetSpacing(0.5, 2.0, 1.0)
    image.AllocateScalars(vtk.VTK_UNSIGNED_CHAR, 1)
    for y in range(15):
        for x in range(20):
            image.SetScalarComponentFromDouble(x, y, 0, 0, 200 if bright(x, y) else 30)
    writer = vtk.vtkMetaImageWriter()
    writer.SetFileName(f"{folder}/levels.mhd")
    writer.SetInputData(image)
    writer.Write()
    subprocess.run([TOOL, "--input2d", f"{folder}/levels.mhd", "--output", f"{folder}/out.vtk",
                    "--region", "3 4 11 7", "--depth", "2"], check=True, stdout=subprocess.DEVNULL)
    found = {"vtk": read_with_vtk, "meshio": read_with_meshio}[CLIENT](f"{folder}/out.vtk")

voxels = [255 if bright(3 + x, 4 + y) else 0 for _ in range(2) for y in range(7) for x in range(11)]
expected = ((11, 7, 2), "unsigned char", (0.5, 2.0, 1.0), (1.5, 8.0, 0.0), voxels)
for name, want, got in zip(("dimensions", "scalar type", "spacing", "origin", "voxels"),
                           expected, found):
    if want != got:
        print(f"{CLIENT}: {name} {got}, not {want}")
sys.exit(0 if expected == found else 1)
