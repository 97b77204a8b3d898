"""Opens volumes the tool wrote with another program's reader and checks dimensions, scalar
type, origin, spacing and every voxel against what was asked. CLIENT is "vtk" for VTK's own
legacy reader, vtkStructuredPointsReader, or "meshio" for meshio's.

Usage: ReadVolumesBack.py SLICE2VOL CLIENT. Needs Debian's python3-vtk9, and python3-meshio for
meshio.
"""

import subprocess
import sys
import tempfile

import vtk

TOOL = sys.argv[1]
CLIENT = sys.argv[2]


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
    """meshio gives the grid's points, x varying fastest, with a value each. Along an axis with
    a single point there is no spacing to see; 1.0 stands for it."""
    import meshio
    import numpy

    mesh = meshio.read(path)
    axes = [numpy.unique(mesh.points[:, i]) for i in range(3)]
    spacing = tuple(float(a[1] - a[0]) if len(a) > 1 else 1.0 for a in axes)
    scalars = mesh.point_data["scalars"]
    type_name = "unsigned char" if scalars.dtype == numpy.uint8 else str(scalars.dtype)
    return (tuple(len(a) for a in axes), type_name, spacing,
            tuple(float(v) for v in mesh.points[0]), [int(v) for v in scalars.ravel()])


READ = {"vtk": read_with_vtk, "meshio": read_with_meshio}[CLIENT]


def expected_voxel(x, y):
    return 255 if (x * y + x) % 3 == 0 else 0


def write_two_level_image(path, width, height, dark, bright, scalar_type, spacing=(1.0, 1.0)):
    """A pattern of two grey levels, as a PNG or a MetaImage with the pixel spacing given: any
    threshold between the levels gives the same slice. Pixel (x, y) counts rows from the top of
    a PNG file, as the tool does, where VTK counts from the bottom; in a MetaImage both count
    from its first row."""
    png = path.endswith(".png")
    image = vtk.vtkImageData()
    image.SetDimensions(width, height, 1)
    image.SetSpacing(spacing[0], spacing[1], 1.0)
    image.AllocateScalars(scalar_type, 1)
    for y in range(height):
        for x in range(width):
            level = bright if expected_voxel(x, y) == 255 else dark
            image.SetScalarComponentFromDouble(x, height - 1 - y if png else y, 0, 0, level)
    writer = vtk.vtkPNGWriter() if png else vtk.vtkMetaImageWriter()
    writer.SetFileName(path)
    writer.SetInputData(image)
    writer.Write()


def check(folder, name, image, region, depth, spacing=(1.0, 1.0)):
    """Runs the tool on image, whose pixel spacing is given, with the region (x, y, sx, sy) and
    depth given, None for none."""
    output = f"{folder}/{name}.vtk"
    arguments = [TOOL, "--input2d", f"{folder}/{image}", "--output", output]
    if region:
        arguments += ["--region", " ".join(str(v) for v in region)]
    if depth:
        arguments += ["--depth", str(depth)]
    subprocess.run(arguments, check=True, stdout=subprocess.DEVNULL)

    dimensions, scalar_type, read_spacing, origin, voxels = READ(output)
    x0, y0, width, height = region if region else (0, 0, 20, 15)
    layers = depth or 10
    failures = []
    if dimensions != (width, height, layers):
        failures.append(f"dimensions {dimensions}")
    if scalar_type != "unsigned char":
        failures.append(f"scalar type {scalar_type}")
    if read_spacing != (spacing[0], spacing[1], 1.0):
        failures.append(f"spacing {read_spacing}")
    if origin != (x0 * spacing[0], y0 * spacing[1], 0.0):
        failures.append(f"origin {origin}")
    expected = [expected_voxel(x0 + x, y0 + y)
                for _ in range(layers) for y in range(height) for x in range(width)]
    if voxels != expected:
        failures.append("voxel values")
    for failure in failures:
        print(f"{CLIENT}, {name}: wrong {failure}")
    return not failures


with tempfile.TemporaryDirectory() as folder:
    write_two_level_image(f"{folder}/levels8.png", 20, 15, 30, 200, vtk.VTK_UNSIGNED_CHAR)
    write_two_level_image(f"{folder}/levels16.png", 20, 15, 1000, 30000, vtk.VTK_UNSIGNED_SHORT)
    write_two_level_image(f"{folder}/spaced.mhd", 20, 15, 30, 200, vtk.VTK_UNSIGNED_CHAR,
                          (0.5, 2.0))
    results = [
        check(folder, "plain", "levels8.png", None, None),
        check(folder, "region", "levels8.png", (3, 4, 11, 7), 10),
        check(folder, "region-one-layer", "levels8.png", (0, 14, 20, 1), 1),
        check(folder, "sixteen-bit", "levels16.png", None, 10),
        check(folder, "spacing-region", "spaced.mhd", (3, 4, 11, 7), 2, (0.5, 2.0)),
    ]
sys.exit(0 if all(results) else 1)
