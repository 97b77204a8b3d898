"""Opens volumes the tool wrote with another program's reader, CLIENT: "vtk" for VTK's own
legacy reader, vtkStructuredPointsReader, or "meshio" for meshio's; checks dimensions, scalar
type, origin, spacing and every voxel against what was asked.

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
    return (x * y + x) % 3 == 0


def check(folder, region, depth):
    """Runs the tool on a 20 x 15 MetaImage of two grey levels with spacing 0.5 x 2, so that any
    threshold between the levels gives the same slice, with the region (x, y, sx, sy) given."""
    output = f"{folder}/out.vtk"
    subprocess.run([TOOL, "--input2d", f"{folder}/levels.mhd", "--output", output, "--region",
                    " ".join(str(v) for v in region), "--depth", str(depth)],
                   check=True, stdout=subprocess.DEVNULL)
    x0, y0, width, height = region
    voxels = [255 if bright(x0 + x, y0 + y) else 0
              for _ in range(depth) for y in range(height) for x in range(width)]
    expected = ((width, height, depth), "unsigned char", (0.5, 2.0, 1.0),
                (x0 * 0.5, y0 * 2.0, 0.0), voxels)
    found = {"vtk": read_with_vtk, "meshio": read_with_meshio}[CLIENT](output)
    names = ("dimensions", "scalar type", "spacing", "origin", "voxels")
    for name, want, got in zip(names, expected, found):
        if want != got:
            print(f"{CLIENT}, region {region}, depth {depth}: {name} {got}, not {want}")
    return expected == found


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
    results = [check(folder, (0, 0, 20, 15), 10), check(folder, (3, 4, 11, 7), 2)]
sys.exit(0 if all(results) else 1)
