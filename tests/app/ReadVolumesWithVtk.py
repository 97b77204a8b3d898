"""Opens volumes the tool wrote with VTK's own legacy reader, vtkStructuredPointsReader, and
checks dimensions, scalar type, origin, spacing and every voxel against what was asked.

Usage: ReadVolumesWithVtk.py SLICE2VOL. Needs Debian's python3-vtk9.
"""

import subprocess
import sys
import tempfile

import vtk

TOOL = sys.argv[1]


def expected_voxel(x, y):
    return 255 if (x * y + x) % 3 == 0 else 0


def write_two_level_png(path, width, height, dark, bright, scalar_type):
    """A pattern of two grey levels: any threshold between them gives the same slice. Pixel
    (x, y) counts rows from the top of the file, as the tool does; VTK counts from the bottom."""
    image = vtk.vtkImageData()
    image.SetDimensions(width, height, 1)
    image.AllocateScalars(scalar_type, 1)
    for y in range(height):
        for x in range(width):
            level = bright if expected_voxel(x, y) == 255 else dark
            image.SetScalarComponentFromDouble(x, height - 1 - y, 0, 0, level)
    writer = vtk.vtkPNGWriter()
    writer.SetFileName(path)
    writer.SetInputData(image)
    writer.Write()


def check(folder, name, image, region, depth):
    """Runs the tool on image with the region (x, y, sx, sy) and depth given, None for none."""
    output = f"{folder}/{name}.vtk"
    arguments = [TOOL, "--input2d", f"{folder}/{image}", "--output", output]
    if region:
        arguments += ["--region", " ".join(str(v) for v in region)]
    if depth:
        arguments += ["--depth", str(depth)]
    subprocess.run(arguments, check=True, stdout=subprocess.DEVNULL)

    reader = vtk.vtkStructuredPointsReader()
    reader.SetFileName(output)
    reader.Update()
    volume = reader.GetOutput()
    x0, y0, width, height = region if region else (0, 0, 20, 15)
    layers = depth or 10
    failures = []
    if volume.GetDimensions() != (width, height, layers):
        failures.append(f"dimensions {volume.GetDimensions()}")
    if volume.GetPointData().GetScalars().GetDataType() != vtk.VTK_UNSIGNED_CHAR:
        failures.append(f"scalar type {volume.GetPointData().GetScalars().GetDataTypeAsString()}")
    if volume.GetSpacing() != (1.0, 1.0, 1.0):
        failures.append(f"spacing {volume.GetSpacing()}")
    if volume.GetOrigin() != (float(x0), float(y0), 0.0):
        failures.append(f"origin {volume.GetOrigin()}")
    scalars = volume.GetPointData().GetScalars()
    voxels = [int(scalars.GetValue(i)) for i in range(scalars.GetNumberOfTuples())]
    expected = [expected_voxel(x0 + x, y0 + y)
                for _ in range(layers) for y in range(height) for x in range(width)]
    if voxels != expected:
        failures.append("voxel values")
    for failure in failures:
        print(f"{name}: wrong {failure}")
    return not failures


with tempfile.TemporaryDirectory() as folder:
    write_two_level_png(f"{folder}/levels8.png", 20, 15, 30, 200, vtk.VTK_UNSIGNED_CHAR)
    write_two_level_png(f"{folder}/levels16.png", 20, 15, 1000, 30000, vtk.VTK_UNSIGNED_SHORT)
    results = [
        check(folder, "plain", "levels8.png", None, None),
        check(folder, "one-layer", "levels8.png", None, 1),
        check(folder, "region", "levels8.png", (3, 4, 11, 7), 10),
        check(folder, "region-one-layer", "levels8.png", (0, 14, 20, 1), 1),
        check(folder, "sixteen-bit", "levels16.png", None, 10),
        check(folder, "sixteen-bit-region", "levels16.png", (5, 2, 6, 9), 1),
    ]
sys.exit(0 if all(results) else 1)
